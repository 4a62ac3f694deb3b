#include "report/text.hpp"

#include <nettle/sha2.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace nongauss::report {

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when none starts there.
std::size_t utf8_length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned int min = 0;
    if (c >= 0xc2 && c <= 0xdf) { n = 2; min = 0x80; }
    else if (c >= 0xe0 && c <= 0xef) { n = 3; min = 0x800; }
    else if (c >= 0xf0 && c <= 0xf4) { n = 4; min = 0x10000; }
    else return 0;
    if (i + n > text.size()) return 0;
    unsigned int code = c & (0xff >> (n + 1));
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80) return 0;
        code = (code << 6) | (byte(i + k) & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return 0;
    return n;
}

constexpr const char* replacement = "\xef\xbf\xbd";

// text appended to out character by character: a byte that starts no valid
// UTF-8 sequence becomes the replacement character, a multi-byte character is
// copied, and each ASCII byte goes through ascii(out, byte).
template <typename Ascii>
void append_utf8(std::string& out, std::string_view text, Ascii ascii) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = utf8_length(text, i);
        if (n == 0) {
            out += replacement;
            ++i;
        } else if (n > 1) {
            out.append(text.substr(i, n));
            i += n;
        } else {
            ascii(out, static_cast<unsigned char>(text[i]));
            ++i;
        }
    }
}

}  // namespace

std::string html_escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    append_utf8(out, text, [](std::string& o, unsigned char c) {
        switch (c) {
        case '&': o += "&amp;"; break;
        case '<': o += "&lt;"; break;
        case '>': o += "&gt;"; break;
        case '"': o += "&quot;"; break;
        case '\'': o += "&#39;"; break;
        default:
            if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7f) o += replacement;
            else o += static_cast<char>(c);
        }
    });
    return out;
}

std::string link_to(std::string_view path) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    const std::size_t first_slash = path.find('/');
    const std::string_view first = path.substr(0, first_slash);
    if (first.find(':') != std::string_view::npos) out += "./";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
            c == '.' || c == '_' || c == '~') {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string json_string(std::string_view text) {
    std::string out = "\"";
    append_utf8(out, text, [](std::string& o, unsigned char c) {
        static const char* const hex = "0123456789abcdef";
        if (c == '"') o += "\\\"";
        else if (c == '\\') o += "\\\\";
        else if (c == '\n') o += "\\n";
        else if (c == '\t') o += "\\t";
        else if (c == '\r') o += "\\r";
        else if (c < 0x20 || c == 0x7f) {
            o += "\\u00";
            o += hex[c >> 4];
            o += hex[c & 15];
        } else {
            o += static_cast<char>(c);
        }
    });
    return out + "\"";
}

std::string json_number(double value) {
    if (!std::isfinite(value)) return "null";
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    return ec == std::errc() ? std::string(text, end) : std::string("null");
}

std::string sha256_of_file(const std::string& path, std::string& error) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = std::strerror(errno);
        return "";
    }
    sha256_ctx context;
    sha256_init(&context);
    unsigned char buffer[1 << 16];
    for (;;) {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
        if (n > 0) sha256_update(&context, n, buffer);
        if (n < sizeof buffer) break;
    }
    if (std::ferror(file.get()) != 0) {
        error = "read error";
        return "";
    }
    unsigned char digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    static const char* const hex = "0123456789abcdef";
    std::string out;
    for (const unsigned char b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

}  // namespace nongauss::report
