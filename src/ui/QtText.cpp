#include "ui/QtText.h"

#include <QFile>

#include "settings/Cp1250.h"

namespace quelvar::ui {

QString FromCp1250(const std::string& bytes) {
    return QString::fromStdU32String(settings::Cp1250ToCodePoints(bytes));
}

std::optional<std::string> ToCp1250(const QString& text) {
    return settings::Cp1250FromCodePoints(text.toStdU32String());
}

#ifndef _WIN32
namespace {

constexpr char16_t kEscapedByte = 0xDC00;

// The length of the valid UTF-8 sequence at `at` (shortest form, no surrogates, at most
// U+10FFFF), or 0.
std::size_t Utf8Length(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        return 1;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > bytes.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    const unsigned char second = byte(at + 1);
    const bool overlong = (lead == 0xE0 && second < 0xA0) || (lead == 0xF0 && second < 0x90);
    const bool beyond = (lead == 0xED && second >= 0xA0) || (lead == 0xF4 && second >= 0x90);
    return overlong || beyond ? 0 : length;
}

}  // namespace
#endif

QString FromLocalPath(const std::string& bytes) {
#ifdef _WIN32
    return QFile::decodeName(bytes.c_str());
#else
    QString name;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = Utf8Length(bytes, at);
        if (length == 0) {
            name +=
                QChar(static_cast<char16_t>(kEscapedByte + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        name += QString::fromUtf8(bytes.data() + at, static_cast<qsizetype>(length));
        at += length;
    }
    return name;
#endif
}

std::string ToLocalPath(const QString& name) {
#ifdef _WIN32
    return QFile::encodeName(name).toStdString();
#else
    std::string bytes;
    qsizetype runStart = 0;
    const auto flush = [&](qsizetype end) {
        bytes += QStringView(name).mid(runStart, end - runStart).toUtf8().toStdString();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t unit = name[i].unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            ++i;  // a character beyond U+FFFF, whose second half may look like a kept byte
            continue;
        }
        if (unit >= kEscapedByte + 0x80 && unit <= kEscapedByte + 0xFF) {
            flush(i);
            bytes += static_cast<char>(unit - kEscapedByte);
            runStart = i + 1;
        }
    }
    flush(name.size());
    return bytes;
#endif
}

}  // namespace quelvar::ui
