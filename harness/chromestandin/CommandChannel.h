#pragma once
// The stand-in's control verbs as text lines, one answer line per command
// ("ok ..." or "error ..."), for driving the stand-in program through its
// standard input. README.md lists the verbs.
#include <string>

#include "ChromeStandin.h"

namespace chrome_standin {

class CommandChannel
{
public:
    explicit CommandChannel(ChromeStandin& standin) : standin_(standin) {}

    // Runs one command line and returns its answer; `quit` becomes true for
    // the "quit" verb.
    std::string Execute(const std::string& line, bool& quit);

private:
    ChromeStandin& standin_;
};

} // namespace chrome_standin
