// The value editor's field with its filter, driven by typed keys, pastes, input-method commits,
// editing keys and selections from the input (see KeyFilterScript.h). After every step: no
// character the rule refuses, nothing Windows-1250 cannot hold, and never longer than the
// maximum once an insertion started within it.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMouseEvent>
#include <QString>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "KeyFilterScript.h"
#include "settings/Cp1250.h"
#include "ui/KeyFilter.h"

namespace {

namespace fuzz = quelvar::fuzz;
namespace settings = quelvar::settings;

class Script {
  public:
    Script(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool AtEnd() const { return at_ >= size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::string_view Bytes(std::size_t count) {
        const std::size_t n = std::min(count, size_ - std::min(at_, size_));
        const std::string_view bytes(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return bytes;
    }
    QString Text() {
        const std::string_view utf8 = Bytes(Byte());
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }
    QString Units(std::size_t count) {
        QString units;
        for (std::size_t i = 0; i < count && !AtEnd(); ++i) {
            const std::uint8_t low = Byte();
            units.append(QChar(static_cast<char16_t>(low | Byte() << 8)));
        }
        return units;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

Qt::KeyboardModifiers Modifiers(std::uint8_t bits) {
    Qt::KeyboardModifiers modifiers;
    modifiers.setFlag(Qt::ShiftModifier, (bits & fuzz::kShiftBit) != 0);
    modifiers.setFlag(Qt::ControlModifier, (bits & fuzz::kControlBit) != 0);
    modifiers.setFlag(Qt::AltModifier, (bits & fuzz::kAltBit) != 0);
    modifiers.setFlag(Qt::MetaModifier, (bits & fuzz::kMetaBit) != 0);
    modifiers.setFlag(Qt::KeypadModifier, (bits & fuzz::kKeypadBit) != 0);
    return modifiers;
}

// Printable keys have their ASCII codes; the others count up from Qt::Key_Escape.
int KeyCode(std::uint8_t byte) {
    if (byte >= 0x20 && byte < 0x7F) {
        return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte;
    }
    return Qt::Key_Escape + (byte & 0x3F);
}

struct Chord {
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* text;
};

// In the order of fuzz::EditKey.
const Chord kEditKeys[] = {
    {Qt::Key_Backspace, Qt::NoModifier, "\b"},
    {Qt::Key_Delete, Qt::NoModifier, "\x7f"},
    {Qt::Key_Left, Qt::NoModifier, ""},
    {Qt::Key_Right, Qt::NoModifier, ""},
    {Qt::Key_Home, Qt::NoModifier, ""},
    {Qt::Key_End, Qt::NoModifier, ""},
    {Qt::Key_Left, Qt::ShiftModifier, ""},
    {Qt::Key_Home, Qt::ShiftModifier, ""},
    {Qt::Key_End, Qt::ShiftModifier, ""},
    {Qt::Key_Z, Qt::ControlModifier, "\x1a"},
    {Qt::Key_Y, Qt::ControlModifier, "\x19"},
    {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "\x1a"},
    {Qt::Key_A, Qt::ControlModifier, "\x01"},
    {Qt::Key_X, Qt::ControlModifier, "\x18"},
    {Qt::Key_C, Qt::ControlModifier, "\x03"},
    {Qt::Key_K, Qt::ControlModifier, "\x0b"},
    {Qt::Key_Backspace, Qt::ControlModifier, ""},
    {Qt::Key_Delete, Qt::ControlModifier, ""},
    {Qt::Key_Left, Qt::ControlModifier, ""},
    {Qt::Key_Tab, Qt::NoModifier, "\t"},
    {Qt::Key_Return, Qt::NoModifier, "\r"},
};

static_assert(std::size(kEditKeys) == fuzz::kEditKeyCount);

// In the order of fuzz::PasteKey.
const Chord kPasteKeys[] = {
    {Qt::Key_V, Qt::ControlModifier, "\x16"},
    {Qt::Key_Insert, Qt::ShiftModifier, ""},
    {Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier, ""},
    {Qt::Key_Paste, Qt::NoModifier, ""},
};
static_assert(std::size(kPasteKeys) == fuzz::kPasteKeyCount);

// Sends the key press and its release. False for a chord of undo or redo, which may bring back a
// longer value the field opened with.
bool Press(QLineEdit& field, int key, Qt::KeyboardModifiers modifiers, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    const bool history = press.matches(QKeySequence::Undo) || press.matches(QKeySequence::Redo);
    QCoreApplication::sendEvent(&field, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QCoreApplication::sendEvent(&field, &release);
    return !history;
}

bool Press(QLineEdit& field, const Chord& chord) {
    return Press(field, chord.key, chord.modifiers, QString::fromLatin1(chord.text));
}

// The field's rules as the checks see them.
struct Rules {
    std::u32string allowed;
    bool upperCase = false;
    int maxLength = 0;

    // Whether the filter may let the character in.
    bool MayEnter(char32_t c) const {
        if (QChar::category(c) == QChar::Other_Control || !settings::Cp1250CanEncode(c)) {
            return false;
        }
        if (allowed.empty()) {
            return true;
        }
        return std::any_of(allowed.begin(), allowed.end(), [&](char32_t a) {
            return a == c || (upperCase && QChar::toUpper(a) == c);
        });
    }
};

using Counts = std::map<char32_t, int>;

Counts CountRefused(const QString& text, const Rules& rules) {
    Counts counts;
    for (const char32_t c : text.toStdU32String()) {
        if (!rules.MayEnter(c)) {
            ++counts[c];
        }
    }
    return counts;
}

// What the field holds after a step.
void CheckField(const QLineEdit& field, const Rules& rules, const Counts& initialRefused,
                int ceiling, qsizetype lengthBefore, bool inserted) {
    const QString text = field.text();
    // Every character the rule refuses was in the value the field opened with, and no more often.
    for (const auto& [c, count] : CountRefused(text, rules)) {
        const auto initial = initialRefused.find(c);
        FUZZ_CHECK(initial != initialRefused.end() && count <= initial->second);
    }
    FUZZ_CHECK(settings::Cp1250FromCodePoints(text.toStdU32String()).has_value());
    FUZZ_CHECK(text.size() <= ceiling);
    if (inserted && rules.maxLength > 0 && lengthBefore <= rules.maxLength) {
        FUZZ_CHECK(text.size() <= rules.maxLength);
    }
}

void CheckFilterAlone(const quelvar::ui::KeyFilter& filter, const Rules& rules,
                      const QString& text) {
    const std::u32string in = text.toStdU32String();
    const std::u32string out = filter.Filter(text).toStdU32String();
    FUZZ_CHECK(out.size() <= in.size());
    for (const char32_t c : out) {
        FUZZ_CHECK(rules.MayEnter(c));
    }
}

void SilenceQt(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::abort();
    }
}

}  // namespace

// Fontconfig keeps a little of what it loads for the first font to the end, by design.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(SilenceQt);
    static int argc = 1;
    static char name[] = "fuzz_key_filter";
    static char* argv[] = {name, nullptr};
    // Never destroyed: run at exit, its destructor would meet Qt's own statics already gone.
    static auto* application = new QApplication(argc, argv);
    (void)application;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Script script(data, size);
    const std::uint8_t setup = script.Byte();
    Rules rules;
    const std::uint8_t rule = setup & 0x07;
    QString allowed;
    if (rule == fuzz::kCustomRule) {
        allowed = script.Text();
    } else {
        const std::string_view chars = fuzz::kRules[rule % fuzz::kRules.size()];
        allowed = QString::fromLatin1(chars.data(), static_cast<qsizetype>(chars.size()));
    }
    rules.allowed = allowed.toStdU32String();
    rules.upperCase = (setup & fuzz::kUpperCaseBit) != 0;
    rules.maxLength = fuzz::kMaxLengths[setup >> 4];

    QLineEdit field;
    auto* filter = new quelvar::ui::KeyFilter(field);
    filter->SetAllowed(allowed);
    filter->SetUpperCase(rules.upperCase);
    filter->SetMaxLength(rules.maxLength);
    // The editor opens on the cell's value, whatever it is, all of it selected.
    const std::string_view current = script.Bytes(script.Byte());
    field.setText(QString::fromStdU32String(settings::Cp1250ToCodePoints(current)));
    field.selectAll();
    const Counts initialRefused = CountRefused(field.text(), rules);
    const int ceiling = std::max(rules.maxLength > 0 ? rules.maxLength : field.maxLength(),
                                 static_cast<int>(field.text().size()));

    QClipboard* clipboard = QGuiApplication::clipboard();
    // QUELVAR_FUZZ_TRACE=1 shows the field after each step, to follow a saved input.
    static const bool trace = qEnvironmentVariableIsSet("QUELVAR_FUZZ_TRACE");
    for (int steps = 0; !script.AtEnd() && steps < 64; ++steps) {
        const qsizetype lengthBefore = field.text().size();
        bool inserted = true;
        const int step = script.Byte() % fuzz::kStepCount;
        switch (step) {
            case fuzz::kTypeKey: {
                const Qt::KeyboardModifiers modifiers = Modifiers(script.Byte());
                const int key = KeyCode(script.Byte());
                inserted = Press(field, key, modifiers, script.Text());
                break;
            }
            case fuzz::kTypeUtf16: {
                const Qt::KeyboardModifiers modifiers = Modifiers(script.Byte());
                const QString units = script.Units(script.Byte());
                inserted = Press(field, Qt::Key_unknown, modifiers, units);
                break;
            }
            case fuzz::kPasteKey: {
                const Chord& chord = kPasteKeys[script.Byte() % std::size(kPasteKeys)];
                clipboard->setText(script.Text());
                Press(field, chord);
                break;
            }
            case fuzz::kCommit: {
                const QString commit = script.Text();
                const QString preedit = script.Text();
                const int start = static_cast<std::int8_t>(script.Byte());
                const int length = script.Byte();
                QList<QInputMethodEvent::Attribute> attributes;
                if (script.Byte() != 0) {
                    const int from = script.Byte();
                    attributes.append({QInputMethodEvent::Selection, from,
                                       static_cast<std::int8_t>(script.Byte())});
                }
                QInputMethodEvent event(preedit, attributes);
                event.setCommitString(commit, start, length);
                QCoreApplication::sendEvent(&field, &event);
                break;
            }
            case fuzz::kEditKey:
                inserted = Press(field, kEditKeys[script.Byte() % std::size(kEditKeys)]);
                break;
            case fuzz::kSelect: {
                const int start = script.Byte();
                const int length = static_cast<std::int8_t>(script.Byte());
                field.setSelection(start, length);
                break;
            }
            case fuzz::kInsert:
                filter->Insert(script.Text());
                break;
            case fuzz::kMiddleClick: {
                clipboard->setText(script.Text(), QClipboard::Selection);
                const QPointF at(2, 2);
                QMouseEvent release(QEvent::MouseButtonRelease, at, field.mapToGlobal(at),
                                    Qt::MiddleButton, Qt::NoButton, Qt::NoModifier);
                QCoreApplication::sendEvent(&field, &release);
                break;
            }
            case fuzz::kFilterOnly:
                CheckFilterAlone(*filter, rules, script.Text());
                break;
            default:
                break;
        }
        if (trace) {
            std::fprintf(stderr, "step %d: \"%s\" cursor %d selected \"%s\"\n", step,
                         field.text().toUtf8().toPercentEncoding(" ").constData(),
                         field.cursorPosition(),
                         field.selectedText().toUtf8().toPercentEncoding(" ").constData());
        }
        CheckField(field, rules, initialRefused, ceiling, lengthBefore, inserted);
    }
    // What the field handed to the event loop goes now, so each input ends where it began.
    QCoreApplication::sendPostedEvents();
    return 0;
}
