#pragma once
// A small page written as a snapshot, for cases that the captured pages do
// not hold (members a browser would never answer that way, odd node types).
#include <string>

inline const char* kInlinePage = R"({
 "format": "page-snapshot/1", "url": "http://fixtures.test/inline.html",
 "native": {"exclusionAttributeName": "data-vxcr-exclude"},
 "documents": [{"index":0,"node":1,"frameElement":null,"parentDocument":null,
   "window":{"innerWidth":800,"innerHeight":600,"scrollX":0,"scrollY":0,"devicePixelRatio":1},"hitGrid":null}],
 "frames": [],
 "nodes": [
  {"id":1,"parent":null,"doc":0,"props":{"nodeType":9,"nodeName":"#document","nodeValue":null,"body":{"$node":3},
    "activeElement":{"$node":3},"defaultView":{"$window":0},"all":{"$list":[2,3,4,5,6,8,9,10,11]}}},
  {"id":2,"parent":1,"doc":0,"props":{"nodeType":1,"nodeName":"HTML","tagName":"HTML","id":""},"attrs":[]},
  {"id":3,"parent":2,"doc":0,"props":{"nodeType":1,"nodeName":"BODY","tagName":"BODY","id":""},"attrs":[]},
  {"id":4,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"div","tagName":"div","id":""},
    "attrs":[["id","fromAttribute"],["disabled","ON"]]},
  {"id":5,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"table","tagName":"table","id":"t"},
    "attrs":[["disabled","no"]]},
  {"id":6,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"INPUT","tagName":"INPUT","id":"lowerText","type":"text",
    "name":"","disabled":true},"attrs":[["name","attrName"]]},
  {"id":7,"parent":3,"doc":0,"props":{"nodeType":13,"nodeName":"#odd"}},
  {"id":8,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"TH","tagName":"TH","id":42,"className":{"$node":3}},
    "attrs":[]},
  {"id":9,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"INPUT","tagName":"INPUT","id":"mail","type":"email"},
    "attrs":[]},
  {"id":10,"parent":3,"doc":0,"props":{"nodeType":1,"nodeName":"SCRIPT","tagName":"SCRIPT","id":"s"},
    "attrs":[["data-vxcr-exclude",""]]},
  {"id":11,"parent":3,"doc":0,"props":{"nodeType":0,"nodeName":"#zero"}}
 ]})";
