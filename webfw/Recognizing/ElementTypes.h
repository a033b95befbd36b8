#pragma once
// The small integers that classify a DOM node.
namespace vxWebFw::Recognizing {

// DOM nodeType numbers 1..12 pass through; anything else is ntUnknown.
enum NodeType : long {
    ntUnknown = 0,
    ntElement = 1,
    ntAttribute = 2,
    ntText = 3,
    ntCDataSection = 4,
    ntEntityReference = 5,
    ntEntity = 6,
    ntProcessingInstruction = 7,
    ntComment = 8,
    ntDocument = 9,
    ntDocumentType = 10,
    ntDocumentFragment = 11,
    ntNotation = 12,
};

// Element kinds by tag name; etNone: not evaluated or not an element,
// etOther: an element whose tag is not listed.
enum ElementType : long {
    etNone = 0,
    etOther = 1,
    etHTML = 2,
    etBODY = 3,
    etHEAD = 4,
    etTITLE = 5,
    etIFRAME = 6,
    etFRAME = 7,
    etOBJECT = 8,
    etA = 9,
    etIMG = 10,
    etAPPLET = 11,
    etBUTTON = 12,
    etCAPTION = 13,
    etEMBED = 14,
    etFIELDSET = 15,
    etFORM = 16,
    etINPUT = 17,
    etLABEL = 18,
    etLEGEND = 19,
    etMARQUEE = 20,
    etSELECT = 21,
    etTABLE = 22,
    etTD = 23, // TD and TH
    etTR = 24,
    etTEXTAREA = 25,
    etDIV = 26,
    etSCRIPT = 27,
    etMAP = 28,
    etAREA = 29,
    etOPTION = 30,
    etOPTGROUP = 31,
    etNOSCRIPT = 32,
    etNOFRAMES = 33,
    etPARAM = 34,
    etSTYLE = 35,
};

// INPUT kinds by their type string; itNone: not evaluated, itOther: unlisted.
enum InputElementType : long {
    itNone = 0,
    itOther = 1,
    itBUTTON = 2,
    itCHECKBOX = 3,
    itFILE = 4,
    itHIDDEN = 5,
    itIMAGE = 6,
    itPASSWORD = 7,
    itRADIO = 8,
    itRESET = 9,
    itSUBMIT = 10,
    itTEXT = 11,
};

} // namespace vxWebFw::Recognizing
