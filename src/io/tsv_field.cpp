#include "nongauss/tsv_field.hpp"

namespace nongauss {

std::string escaped_field(const std::string& text) {
    std::string field;
    field.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '\t': field += "\\t"; break;
            case '\n': field += "\\n"; break;
            case '\r': field += "\\r"; break;
            case '\\': field += "\\\\"; break;
            default: field += c;
        }
    }
    return field;
}

}  // namespace nongauss
