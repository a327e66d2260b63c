#include "settings/IniText.h"

#include <cctype>
#include <cstdint>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Escapes name UTF-16 code units (that is how QSettings writes characters outside ASCII
// without a codec); a pair of surrogates makes one character, a lone one is replaced.
class Utf16Units {
public:
    void Add(std::string& out, uint16_t unit) {
        if (high_ != 0 && unit >= 0xDC00 && unit <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((high_ - 0xD800u) << 10) + (unit - 0xDC00u));
            high_ = 0;
            return;
        }
        Flush(out);
        if (unit >= 0xD800 && unit <= 0xDBFF)
            high_ = unit;
        else
            AppendUtf8(out, unit >= 0xDC00 && unit <= 0xDFFF ? 0xFFFD : unit);
    }
    void Flush(std::string& out) {
        if (high_ != 0) AppendUtf8(out, 0xFFFD);
        high_ = 0;
    }

private:
    uint16_t high_ = 0;
};

// What follows a backslash in a value: the escaped text, or nothing for a skipped one.
size_t Unescape(std::string_view s, size_t i, std::string& out, Utf16Units& units) {
    const char e = s[i++];
    static const struct {
        char code, value;
    } kCodes[] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'}, {'r', '\r'}, {'t', '\t'},
                  {'v', '\v'}, {'"', '"'},  {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    for (const auto& c : kCodes) {
        if (e == c.code) {
            units.Flush(out);
            out += c.value;
            return i;
        }
    }
    if (e == 'x' && i < s.size() && HexDigit(s[i]) >= 0) {
        uint16_t unit = 0;
        for (; i < s.size() && HexDigit(s[i]) >= 0; ++i) unit = static_cast<uint16_t>(unit * 16 + HexDigit(s[i]));
        units.Add(out, unit);
    } else if (e >= '0' && e <= '7') {
        auto unit = static_cast<uint16_t>(e - '0');
        for (; i < s.size() && s[i] >= '0' && s[i] <= '7'; ++i) unit = static_cast<uint16_t>(unit * 8 + (s[i] - '0'));
        units.Add(out, unit);
    }
    // Any other escaped character (and "\x" without digits) stands for nothing.
    return i;
}

void ChopTrailingBlanks(std::string& s, size_t limit) {
    while (s.size() > limit && IsBlank(s.back())) s.pop_back();
}

// The raw value up to an unquoted ';', which starts a comment.
std::string_view BeforeComment(std::string_view raw) {
    bool quoted = false;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\')
            ++i;
        else if (raw[i] == '"')
            quoted = !quoted;
        else if (raw[i] == ';' && !quoted)
            return raw.substr(0, i);
    }
    return raw;
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

}  // namespace

std::optional<IniValue> ParseIniValue(std::string_view s) {
    std::vector<std::string> items;
    std::string out;
    Utf16Units units;
    bool list = false, inQuotes = false, quoted = false;
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < s.size() && IsBlank(s[i])) ++i;
    };
    skipBlanks();
    // Blanks before this point were written on purpose (escaped or quoted): kept.
    size_t chopLimit = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\') {
            if (++i >= s.size()) break;
            i = Unescape(s, i, out, units);
            chopLimit = out.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                chopLimit = out.size();
            }
        } else if (c == ',' && !inQuotes) {
            units.Flush(out);
            if (!quoted) ChopTrailingBlanks(out, chopLimit);
            list = true;
            items.push_back(std::move(out));
            out.clear();
            quoted = false;
            ++i;
            skipBlanks();
            chopLimit = 0;
        } else {
            units.Flush(out);
            size_t j = i + 1;
            while (j < s.size() && s[j] != '\\' && s[j] != '"' && s[j] != ',') ++j;
            out.append(s.substr(i, j - i));
            i = j;
        }
    }
    units.Flush(out);
    if (!quoted) ChopTrailingBlanks(out, chopLimit);

    IniValue value;
    if (list) {
        items.push_back(std::move(out));
        value.list = true;
        for (size_t k = 0; k < items.size(); ++k) {
            if (k > 0) value.text += ',';
            value.text += StartsWith(items[k], "@@") ? items[k].substr(1) : items[k];
        }
        return value;
    }
    // Values of other types are marked by a leading '@'; a text that starts with '@' has
    // it doubled.
    if (StartsWith(out, "@@")) {
        value.text = out.substr(1);
    } else if (out == "@Invalid()" || StartsWith(out, "@Variant(")) {
        return std::nullopt;
    } else if (StartsWith(out, "@ByteArray(") && out.back() == ')') {
        value.text = out.substr(11, out.size() - 12);
    } else {
        value.text = std::move(out);
    }
    return value;
}

std::string FormatIniText(const std::string& text) {
    const std::string s = StartsWith(text, "@") ? "@" + text : text;
    static const char kHex[] = "0123456789abcdef";
    auto hex = [](unsigned value) {
        std::string h;
        do {
            h.insert(h.begin(), kHex[value % 16]);
            value /= 16;
        } while (value != 0);
        return "\\x" + h;
    };
    std::string r;
    bool needsQuotes = false;
    // After "\xN" a following hex digit would be read as part of the escape.
    bool escapeNextIfDigit = false;
    for (const char c : s) {
        const auto ch = static_cast<unsigned char>(c);
        if (c == ';' || c == ',' || c == '=') needsQuotes = true;
        if (escapeNextIfDigit && HexDigit(c) >= 0) {
            r += hex(ch);
            continue;
        }
        escapeNextIfDigit = false;
        switch (c) {
            case '\0': r += "\\0"; escapeNextIfDigit = true; break;
            case '\a': r += "\\a"; break;
            case '\b': r += "\\b"; break;
            case '\f': r += "\\f"; break;
            case '\n': r += "\\n"; break;
            case '\r': r += "\\r"; break;
            case '\t': r += "\\t"; break;
            case '\v': r += "\\v"; break;
            case '"':
            case '\\':
                r += '\\';
                r += c;
                break;
            default:
                if (ch <= 0x1F) {
                    r += hex(ch);
                    escapeNextIfDigit = true;
                } else {
                    r += c;  // UTF-8 as it is
                }
        }
    }
    if (needsQuotes || (!r.empty() && (r.front() == ' ' || r.back() == ' '))) r = '"' + r + '"';
    return r;
}

IniDocument::IniDocument(std::string_view text) {
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    byteOrderMark_ = StartsWith(text, kByteOrderMark);
    if (byteOrderMark_) text.remove_prefix(kByteOrderMark.size());
    sections_.emplace_back();  // the lines before the first section header
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view lineText = text.substr(start, end - start);
        if (!lineText.empty() && lineText.back() == '\r') lineText.remove_suffix(1);
        start = end + 1;

        Line line{std::string(lineText), {}, {}};
        const std::string trimmed = Trimmed(lineText);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const size_t close = trimmed.find(']');
            const std::string name =
                Trimmed(std::string_view(trimmed).substr(1, close == std::string::npos ? std::string::npos : close - 1));
            Section section;
            section.topLevel = EqualsIgnoringCase(name, "general");
            section.lines.push_back(std::move(line));
            sections_.push_back(std::move(section));
            continue;
        }
        const size_t equals = lineText.find('=');
        if (!trimmed.empty() && trimmed[0] != ';' && equals != std::string_view::npos) {
            line.key = Trimmed(lineText.substr(0, equals));
            line.raw = std::string(BeforeComment(lineText.substr(equals + 1)));
        }
        sections_.back().lines.push_back(std::move(line));
    }
}

std::optional<std::string> IniDocument::RawValue(const std::string& key) const {
    std::optional<std::string> found;
    for (const Section& section : sections_) {
        if (!section.topLevel) continue;
        for (const Line& line : section.lines)
            if (!line.key.empty() && line.key == key) found = line.raw;
    }
    return found;
}

void IniDocument::SetRawValue(const std::string& key, const std::string& raw) {
    const Line wanted{key + "=" + raw, key, raw};
    bool replaced = false;
    for (Section& section : sections_) {
        if (!section.topLevel) continue;
        for (auto it = section.lines.begin(); it != section.lines.end();) {
            if (it->key != key) {
                ++it;
            } else if (!replaced) {
                *it = wanted;
                replaced = true;
                ++it;
            } else {
                it = section.lines.erase(it);  // a later duplicate would win over the new value
            }
        }
    }
    if (replaced) return;

    // Into the first "[General]" section, made (after the lines before any section) when
    // there is none.
    Section* target = nullptr;
    for (size_t i = 1; i < sections_.size() && target == nullptr; ++i)
        if (sections_[i].topLevel) target = &sections_[i];
    if (target == nullptr) {
        Section general;
        general.lines.push_back({"[General]", {}, {}});
        if (sections_.size() > 1) general.lines.push_back({"", {}, {}});
        target = &*sections_.insert(sections_.begin() + 1, std::move(general));
    }
    // After the section's last non-blank line, so a blank line before the next section stays.
    auto at = target->lines.end();
    while (at != target->lines.begin() + 1 && Trimmed((at - 1)->text).empty()) --at;
    target->lines.insert(at, wanted);
}

std::string IniDocument::Text() const {
    std::string text = byteOrderMark_ ? "\xEF\xBB\xBF" : "";
    for (const Section& section : sections_)
        for (const Line& line : section.lines) text += line.text + "\n";
    return text;
}
