// Whole pages as the Tree model shows them: every level expanded, written as
// an indented listing and compared with the committed one in expected/.
// Set VXCR_WRITE_TREE_LISTINGS=1 to rewrite the committed listings from the
// current code (then review the difference before committing it).
#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "TreeLevel.h"

using namespace treetests;

namespace {

std::wstring ListingPath(const std::string& name)
{
    std::string path = std::string(VX_TREE_LISTINGS_DIR) + "/" + name;
    std::wstring out = L"Z:";
    for (char c : path)
        out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
    return out;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
    return out;
}

class WholePageListing : public TreeFixture
{
protected:
    void CheckListing(const std::string& snapshot, const std::string& listing)
    {
        Load(snapshot);
        std::wostringstream out;
        {
            vxWebFw::NodeHandle document = Document();
            WriteListing(document.Get(), 0, out);
        }
        EXPECT_EQ(startHandles_, native_->LiveHandles()) << "node handles left behind by the expansion";
        EXPECT_EQ(0, native_->Faults());
        const std::string actual = ToUtf8(out.str());
        const std::wstring path = ListingPath(listing);

        const char* write = std::getenv("VXCR_WRITE_TREE_LISTINGS");
        if (write && *write == '1') {
            std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
            ASSERT_TRUE(file.good()) << "cannot write " << listing;
            file << actual;
            return;
        }
        std::ifstream file(path.c_str(), std::ios::binary);
        ASSERT_TRUE(file.good()) << "missing " << listing << " (VXCR_WRITE_TREE_LISTINGS=1 writes it)";
        const std::string expected((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_GT(std::count(expected.begin(), expected.end(), '\n'), 20) << "listing too small to be a real page";
        EXPECT_EQ(expected, actual) << "listing of " << snapshot << " changed";
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
