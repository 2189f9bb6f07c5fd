#include "platform/Log.hpp"

#include <cerrno>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace Platform::Log {

namespace {

void appendCode(std::string& buffer, unsigned code)
{
    char text[16];
    std::snprintf(text, sizeof text, "\\u{%X}", code);
    buffer.append(text);
}

void appendEscaped(std::string& buffer, std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        auto const byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n')
            buffer.append("\\n");
        else if (byte == '\r')
            buffer.append("\\r");
        else if (byte == '\t')
            buffer.append("\\t");
        else if (byte < 0x20 || byte == 0x7f)
            appendCode(buffer, byte);
        else if (byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 && static_cast<unsigned char>(text[i + 1]) <= 0x9f)
            appendCode(buffer, static_cast<unsigned char>(text[++i]));
        else
            buffer.push_back(static_cast<char>(byte));
    }
}

}

void line(std::string_view text)
{
    std::string buffer;
    buffer.reserve(text.size() + 10);
    buffer.append("[Pupnik] ");
    appendEscaped(buffer, text);
    buffer.push_back('\n');
    size_t done = 0;
    while (done < buffer.size()) {
        ssize_t written = ::write(STDERR_FILENO, buffer.data() + done, buffer.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        done += static_cast<size_t>(written);
    }
}

}
