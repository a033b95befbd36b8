#include "BenchDocument.h"

#include <cstdint>

namespace vxXPathBench {

namespace {

// Small deterministic generator so that every run builds the same page.
class Sequence
{
public:
    std::uint32_t next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint32_t state_ = 12345;
};

const char* const kWords[] = {"alpha", "beta", "gamma", "delta", "lorem", "ipsum", "dolor", "amet", "page", "item"};

} // namespace

std::string makeBenchDocument(int sections)
{
    Sequence random;
    std::string x;
    x.reserve(static_cast<std::size_t>(sections) * 6000);
    x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<html lang=\"en\"><head><title>Benchmark page</title>"
         "<meta name=\"viewport\" content=\"width=device-width\"/></head>\n<body class=\"page\">\n"
         "<div id=\"nav\" class=\"menu\"><ul>";
    for (int i = 0; i < 20; ++i)
        x += "<li><a href=\"/page-" + std::to_string(i) + "\" class=\"nav\">Page " + std::to_string(i) + "</a></li>";
    x += "</ul></div>\n<div id=\"main\">\n";
    int item = 0;
    for (int s = 0; s < sections; ++s) {
        x += "<div class=\"section\" id=\"section-" + std::to_string(s) + "\"><h2>Section " + std::to_string(s) +
             "</h2>\n";
        int articles = 3 + random.below(3);
        for (int a = 0; a < articles; ++a, ++item) {
            x += "<div class=\"item\" id=\"item-" + std::to_string(item) + "\"><p>";
            int words = 3 + random.below(5);
            for (int w = 0; w < words; ++w) {
                if (w)
                    x += ' ';
                x += kWords[random.below(10)];
            }
            x += " <a href=\"/page-" + std::to_string(random.below(100)) + "\">more</a> <span class=\"tag\">t" +
                 std::to_string(random.below(9)) + "</span></p><p> </p></div>\n";
        }
        if (s % 2 == 0) {
            x += "<form action=\"/f\"><label>Name</label><input type=\"text\" name=\"n" + std::to_string(s) +
                 "\"/><input type=\"checkbox\" name=\"c" + std::to_string(s) +
                 "\"/><input type=\"submit\" value=\"Go\"/></form>\n";
        }
        x += "<table class=\"data\"><tr><th>A</th><th>B</th><th>C</th></tr>";
        for (int r = 0; r < 3; ++r) {
            x += "<tr>";
            for (int c = 0; c < 3; ++c)
                x += "<td class=\"num\">" + std::to_string(random.below(100)) + "</td>";
            x += "</tr>";
        }
        x += "</table>\n<ul class=\"list\">";
        for (int l = 0; l < 4; ++l)
            x += "<li>entry " + std::to_string(l) + "</li>";
        x += "</ul></div>\n";
    }
    x += "</div>\n<div id=\"footer\"><p>Footer <a href=\"/about\">about</a></p></div>\n</body></html>\n";
    return x;
}

} // namespace vxXPathBench
