// Whole captured pages as the Tree model shows them, every level expanded,
// compared with the listings the Wine tests commit in tests/tree-model/expected.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "TreeLevel.h"

namespace webfwnative {
namespace {

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

class WholePageListing : public TreeLevels
{
protected:
    void CheckListing(const std::string& snapshot, const std::string& listing)
    {
        Load(snapshot);
        // The listings were written with the product's acceptor, which keeps
        // out only elements carrying the exclusion attribute: with none on
        // the page, accepting every node is the same.
        for (long id = 1; id <= Page().NodeCount(); ++id)
            for (const auto& attribute : Page().Node(id).attrs)
                ASSERT_NE(Page().exclusionAttributeName, attribute.first) << "node " << id;

        std::wostringstream out;
        {
            vxWebFw::NodeHandle document = Document();
            WriteListing(document.Get(), 0, out);
        }
        EXPECT_EQ(startHandles_, Model().LiveHandles()) << "node handles left behind by the expansion";
        const std::string actual = ToUtf8(out.str());

        std::ifstream file(std::string(VX_TREE_LISTINGS_DIR) + "/" + listing, std::ios::binary);
        ASSERT_TRUE(file.good()) << "missing " << listing;
        const std::string expected((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 20) << "listing too small to be a real page";
        EXPECT_EQ(expected, actual) << "listing of " << snapshot << " differs from the committed one";
    }
};

TEST_F(WholePageListing, DocumentationPage)
{
    CheckListing("snapshots/real/lang_expr.json", "lang_expr.txt");
}

TEST_F(WholePageListing, CheckoutFormPage)
{
    CheckListing("snapshots/real/checkout-form.json", "checkout-form.txt");
}

} // namespace
} // namespace webfwnative
