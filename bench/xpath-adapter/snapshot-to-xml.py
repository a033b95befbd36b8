#!/usr/bin/env python3
"""Writes the tree that the library's XPath navigator shows for a captured
page (page-snapshot/1) as an XML document, so that libxml2 can evaluate the
same expressions over the same nodes: element names are the native nodeName
(upper case for HTML), attributes are the specified attributes in their
order, text and comment nodes keep their text, the document type is left
out, and no namespace is declared. Pages with frames are refused (the
navigator shows a frame's document below its element, XML cannot).

Usage: snapshot-to-xml.py SNAPSHOT.json OUT.xml
Prints the counts of elements, attributes, text and comment nodes written."""
import json
import re
import sys
from xml.sax.saxutils import escape, quoteattr

NAME = re.compile(r'^[A-Za-z_][-A-Za-z0-9_.]*$')
# Characters XML 1.0 cannot carry; the captured pages have none, and the
# conversion stops rather than change a text.
BAD_CHAR = re.compile('[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]')


def main(snapshot_path, out_path):
    snapshot = json.load(open(snapshot_path, encoding='utf-8'))
    if len(snapshot['documents']) != 1:
        sys.exit('pages with frame documents cannot be written as one XML document')
    nodes = snapshot['nodes']
    children = {}
    for node in nodes:
        if node['parent'] is not None:
            children.setdefault(node['parent'], []).append(node['id'])
    counts = {'elements': 0, 'attributes': 0, 'text': 0, 'comments': 0}
    out = []

    def text_of(node):
        value = node['props'].get('nodeValue') or ''
        if BAD_CHAR.search(value):
            sys.exit(f'node {node["id"]}: a character XML cannot hold')
        return value

    def write(node_id):
        node = nodes[node_id - 1]
        kind = node['props']['nodeType']
        if kind == 1:
            name = node['props']['nodeName']
            if not NAME.match(name):
                sys.exit(f'node {node_id}: element name {name!r} is not an XML name')
            counts['elements'] += 1
            out.append('<' + name)
            for attr_name, attr_value in node.get('attrs') or []:
                if not NAME.match(attr_name):
                    sys.exit(f'node {node_id}: attribute name {attr_name!r} is not an XML name')
                counts['attributes'] += 1
                out.append(' ' + attr_name + '=' + quoteattr(attr_value, {'\n': '&#10;', '\r': '&#13;', '\t': '&#9;'}))
            out.append('>')
            for child in children.get(node_id, []):
                write(child)
            out.append('</' + name + '>')
        elif kind in (3, 4):
            counts['text'] += 1
            out.append(escape(text_of(node), {'\r': '&#13;'}))
        elif kind == 8:
            value = text_of(node)
            if '--' in value or value.endswith('-'):
                sys.exit(f'node {node_id}: comment text XML cannot hold')
            counts['comments'] += 1
            out.append('<!--' + value + '-->')
        # Document types and other kinds are not part of the XPath tree.

    document = snapshot['documents'][0]['node']
    for child in children.get(document, []):
        write(child)
    with open(out_path, 'w', encoding='utf-8') as f:
        f.write('<?xml version="1.0" encoding="UTF-8"?>\n')
        f.write(''.join(out))
    print(' '.join(f'{k}={v}' for k, v in counts.items()), 'total=' + str(sum(counts.values())))


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
