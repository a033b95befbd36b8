#pragma once
// Deterministic generator of tab information records that the hook must
// refuse: wrong outer types, null arrays, too few elements, lower bounds
// other than 0, two dimensions, elements of the wrong type (alone or
// together, with or without extra elements). Ids in the records are small, so
// a record taken by mistake would touch the tab list of a test.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <random>
#include <string>

#include "platform/com/Variant.h"

namespace browser_services_tests {

class MalformedRecordGenerator
{
public:
    explicit MalformedRecordGenerator(uint32_t seed) : random_(seed) {}

    // The next shape; a by-reference shape stays valid until the next call.
    vx::com::Variant Next();
    // A short description of the last shape, for failure messages.
    const std::string& LastShape() const { return shape_; }

private:
    uint32_t Below(uint32_t limit) { return static_cast<uint32_t>(random_() % limit); }
    vx::com::Variant GoodElement(int position);
    vx::com::Variant WrongElement(int position);
    vx::com::Variant WrongOuterType();
    vx::com::Variant Array(LONG lowerBound, LONG count, uint32_t wrongMask);
    vx::com::Variant TwoDimensions();

    std::mt19937 random_;
    // What a by-reference shape points at (valid until the next shape).
    vx::com::Variant heldBehindReference_;
    std::string shape_;
};

// A well-formed record (tab id, loading flag, URL).
vx::com::Variant MakeRecord(LONG tabId, bool loading, const wchar_t* url);

} // namespace browser_services_tests
