// A document shaped like the hostile test pages, built with the libxml2 tree
// API (parsing stops at libxml2's nesting limit): a chain of nested DIVs
// thousands of levels deep, a run of thousands of sibling SPANs, nested
// tables, nested lists and a chain of prefixed groups. Evaluations over it
// show faults that only deep or wide trees bring out: recursion that follows
// the depth of the tree, walks that are quadratic in the depth or the width.
//
// Layout (i counts levels or siblings from 0):
//   <?top first?><!--top-->
//   <html lang="en" xml:lang="en">
//     <head><title>deep</title></head>
//     <body>
//       <div id="chain">            chainDepth nested <div>: class="c{i/10%5}"
//                                   every 10 levels, id="d{i}" every 100,
//                                   name="n{i}" when i%1000 == 7, a first
//                                   text "t{i}" every 500 and a comment
//                                   "level {i}" every 1000; the innermost
//                                   holds <span id="bottom" class="leaf">
//                                   bottom</span> and the text "deep end".
//       <div id="wide">             wideCount <span>w{i}</span>: id="s{i}"
//                                   and class="w" every 10th; a comment
//                                   after every 100th, a PI after every 250th.
//       <div id="tables">           tableDepth nested table/tbody/tr/td, each
//                                   td starting with the text "c{i}", the
//                                   table id="t{i}" every 25 levels.
//       <ul id="lists">             listDepth nested li/ul, each li starting
//                                   with the text "i{i}".
//       <g:svg xmlns:g="urn:g">     groupDepth nested <g:g n="{i}">.
//       <p id="tail" xml:lang="fr">tail</p>
//     </body>
//   </html>
//
// Attributes named id are registered as IDs, so id() finds them.
#pragma once

#include "LibxmlDocument.h"

namespace vxXPathTest {

struct DeepDocumentShape
{
    int chainDepth = 3000;
    int wideCount = 1000;
    int tableDepth = 50;
    int listDepth = 100;
    int groupDepth = 150;
};

XmlDocPtr buildDeepDocument(const DeepDocumentShape& shape = DeepDocumentShape());

} // namespace vxXPathTest
