// Look-ups in the word <-> code <-> text table of the GA configuration.
#include "ga_keywords.h"

#include <cstring>

namespace qv::ga {

const Keyword *find_keyword(Field field, const char *word) {
    if (word == nullptr) return nullptr;
    for (const Keyword &k : kKeywords) {
        if (k.field != field) continue;
        if (std::strcmp(k.word, word) == 0) return &k;
        if (k.alias != nullptr && std::strcmp(k.alias, word) == 0) return &k;
    }
    return nullptr;
}

const Keyword *find_code(Field field, int code) {
    for (const Keyword &k : kKeywords) {
        if (k.field == field && k.code == code) return &k;
    }
    return nullptr;
}

const char *code_text(Field field, int code) {
    const Keyword *k = find_code(field, code);
    return k != nullptr ? k->text : "";
}

}  // namespace qv::ga
