// The global objects and look-up functions that the control suite's scripts
// define on a page (everything but "ig_shared", which infragistics.html adds).
function igNumber() { return 12.5; }
function igDate() { return new Date(0); }
function igText() { return 'text'; }

var igedit_all = {
  Price: { getNumber: igNumber, getText: igText },
  Birthday: { getDate: igDate, getText: igText },
  Note: { getText: igText }
};

var igdrp_all = {
  Chooser1: { getMinDate: igDate, getMaxDate: igDate },
  Chooser2: { getMinDate: igDate }
};

var igKnown = {
  trees: ['Tree1'],
  toolbars: ['Toolbar1'],
  grids: ['Grid1'],
  combos: ['Combo1'],
  listbars: ['Listbar1', 'Listbar1_header', 'Bar_Group_3_text', 'Bar_Group_x_text']
};

function igFind(list, id) { return list.indexOf(id) >= 0 ? { id: id } : null; }
function igtree_getTreeById(id) { return igFind(igKnown.trees, id); }
function igtbar_getToolbarById(id) { return igFind(igKnown.toolbars, id); }
function igtbl_getGridById(id) { return igFind(igKnown.grids, id); }
function igcmbo_getComboById(id) { return igFind(igKnown.combos, id); }
function iglbar_getListbarById(id) { return igFind(igKnown.listbars, id); }
