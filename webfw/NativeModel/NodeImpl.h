#pragma once
// Opaque handle of one DOM object (window, document, element, collection,
// style, rectangle) issued by the browser's native object. Whoever receives a
// handle owns it and gives it back; a handle passed as an argument is borrowed.
struct NodeImpl;
