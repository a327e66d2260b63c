#pragma once
// The INI text of the settings file, as QSettings (IniFormat) reads and writes it, so
// that files written by earlier versions of the tool load unchanged and files written now
// still load in them.
//
// - Sections "[name]"; "[General]" (any case) and the lines before the first section hold
//   the top-level keys. Lines "key=value"; a line starting with ';' is a comment, and an
//   unquoted ';' ends a value. Of two lines with the same key the later one counts. A
//   UTF-8 byte-order mark at the start is skipped (and kept).
// - Values: surrounding blanks are dropped unless quoted ("..."); backslash escapes
//   (\n, \t, \", \\, \xHHHH, octal, ...); an unquoted ',' makes a list; a leading "@@"
//   stands for "@"; "@Invalid()" is no value; "@ByteArray(...)" holds raw text.
// - Anything the parser does not understand is kept as it is: a save replaces only the
//   lines of the keys it writes.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct IniValue {
    std::string text;   // a list's items joined with ","
    bool list = false;  // written as a list (an unquoted ',')
};

// The value a raw text after '=' stands for; nothing for "@Invalid()" and other values
// that hold no text.
std::optional<IniValue> ParseIniValue(std::string_view raw);
// The raw text QSettings writes for a text value.
std::string FormatIniText(const std::string& text);

class IniDocument {
public:
    explicit IniDocument(std::string_view text = {});

    // The raw value of a top-level key, or nothing.
    std::optional<std::string> RawValue(const std::string& key) const;
    // Sets a top-level key's raw value: its line is replaced (later duplicates removed),
    // or a line is added to the first top-level section ("[General]", made when missing).
    void SetRawValue(const std::string& key, const std::string& raw);
    // The whole text, lines ended with "\n".
    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string key;  // empty for anything but a key line
        std::string raw;  // the raw value of a key line
    };
    struct Section {
        bool topLevel = true;
        std::vector<Line> lines;  // the header line first, when there is one
    };
    std::vector<Section> sections_;
    bool byteOrderMark_ = false;
};
