#include "journal.h"

#include <fcntl.h>
#include <unistd.h>

namespace phonesim {

Journal::Journal(std::string path) : m_path(std::move(path)) {}

void Journal::write(const std::string &line) const
{
    if (m_path.empty())
        return;
    // Opened per line and appended in one write, so a reader never sees half a line and a test may truncate
    // the file between steps.
    int fd = open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::string text;
    for (char c : line)
        text.push_back(c == '\n' || c == '\r' ? ' ' : c);
    text.push_back('\n');
    ssize_t ignored = ::write(fd, text.data(), text.size());
    (void)ignored;
    close(fd);
}

} // namespace phonesim
