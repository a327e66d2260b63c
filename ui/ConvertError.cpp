#include "ui/ConvertError.h"

#include "files/IntegerText.h"

int64_t HexEditValue(const std::string& text) {
    const auto value = StrToIntHex(text);
    if (!value) throw EConvertError(InvalidHexIntegerMessage(text));
    return *value;
}

int64_t DecimalEditValue(const std::string& text) {
    const auto value = StrToIntDec(text);
    if (!value) throw EConvertError(InvalidIntegerMessage(text));
    return *value;
}
