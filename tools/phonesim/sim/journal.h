#pragma once

// A log of what the phone was asked to do, one line per request, for tests to assert on.

#include <string>

namespace phonesim {

class Journal {
public:
    explicit Journal(std::string path = {});
    void write(const std::string &line) const;

private:
    std::string m_path;
};

} // namespace phonesim
