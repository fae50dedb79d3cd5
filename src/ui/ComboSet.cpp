#include "ui/ComboSet.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <algorithm>
#include <optional>
#include <vector>

#include "settings/ContactId.h"
#include "settings/SmsText.h"
#include "ui/DialogFont.h"
#include "ui/KeyFilter.h"
#include "ui/QtText.h"

namespace quelvar::ui {
namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 109;
constexpr int kMargin = 8;
constexpr int kFieldTop = 48;
constexpr int kListWidth = 304;
constexpr int kEditDesignWidth = 179;
constexpr int kButtonsTop = 75;
// With a helper the dialog grows below the field: its lines, then (codes) the search and list.
constexpr int kHintTop = 72;
constexpr int kSmsHintHeight = 44;
constexpr int kCodeHintHeight = 28;
constexpr int kCodeListHeight = 120;
constexpr int kWhyShownMs = 2500;

// A line ends at LF, CR or CR LF; a line end at the very end opens no further line.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    bool open = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            line += c;
            open = true;
            continue;
        }
        lines.push_back(line);
        line.clear();
        open = false;
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
        }
    }
    if (open) {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

TSetFrm::TSetFrm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      PreMessage(new QLabel(this)),
      Message(new QLabel(this)),
      cbSetProp(new QComboBox(this)),
      btSetOK(new QPushButton(QStringLiteral("OK"), this)),
      btSetCancel(new QPushButton(QStringLiteral("Cancel"), this)),
      edSetProp(new QLineEdit(this)),
      lbWhy(new QLabel(this)),
      lbHint(new QLabel(this)),
      edCodeSearch(new QLineEdit(this)),
      lstCodes(new QListWidget(this)),
      filter_(new KeyFilter(*edSetProp)),
      whyTimer_(new QTimer(this)) {
    setWindowTitle(QStringLiteral("SetFrm"));
    setFont(DialogFont(8));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);

    const QFont bold = DialogFont(8, true);
    const auto placeLabel = [&bold](QLabel* label, const char* name, int top) {
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(bold);
        label->setTextFormat(Qt::PlainText);
        label->setGeometry(kMargin, top, kListWidth, QFontMetrics(bold).height());
    };
    placeLabel(PreMessage, "PreMessage", kMargin);
    placeLabel(Message, "Message", 26);

    cbSetProp->setObjectName(QStringLiteral("cbSetProp"));
    cbSetProp->setEditable(false);
    cbSetProp->setGeometry(kMargin, kFieldTop, kListWidth, 22);

    edSetProp->setObjectName(QStringLiteral("edSetProp"));
    edSetProp->setGeometry(kMargin, kFieldTop, kEditDesignWidth, 21);
    edSetProp->hide();

    btSetOK->setObjectName(QStringLiteral("btSetOK"));
    btSetOK->setGeometry(kMargin, 75, 75, 25);
    btSetOK->setDefault(true);
    btSetCancel->setObjectName(QStringLiteral("btSetCancel"));
    btSetCancel->setGeometry(237, 75, 75, 25);

    lbWhy->setObjectName(QStringLiteral("lbWhy"));
    lbWhy->setFont(DialogFont(7));
    lbWhy->setTextFormat(Qt::PlainText);
    lbWhy->setWordWrap(true);
    lbWhy->setAlignment(Qt::AlignCenter);
    lbHint->setObjectName(QStringLiteral("lbHint"));
    lbHint->setTextFormat(Qt::PlainText);
    lbHint->setWordWrap(true);
    lbHint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    edCodeSearch->setObjectName(QStringLiteral("edCodeSearch"));
    edCodeSearch->setPlaceholderText(QStringLiteral("Search the list: code or words (fire, tamp)"));
    lstCodes->setObjectName(QStringLiteral("lstCodes"));
    whyTimer_->setSingleShot(true);
    PlaceForHelper();

    connect(btSetOK, &QPushButton::clicked, this, &TSetFrm::Confirm);
    connect(btSetCancel, &QPushButton::clicked, this, &TSetFrm::reject);
    connect(edSetProp, &QLineEdit::textChanged, this, &TSetFrm::CheckLength);
    connect(edSetProp, &QLineEdit::textChanged, this, &TSetFrm::ShowHelp);
    connect(filter_, &KeyFilter::refused, this, &TSetFrm::Refused);
    connect(whyTimer_, &QTimer::timeout, this, &TSetFrm::ShowGreyedReason);
    connect(edCodeSearch, &QLineEdit::textChanged, this, &TSetFrm::FillCodeList);
    connect(lstCodes, &QListWidget::itemActivated, this, &TSetFrm::PickCode);
}

void TSetFrm::SetHelper(Helper helper) {
    helper_ = helper;
    PlaceForHelper();
    ShowHelp();
}

void TSetFrm::SetNote(const QString& note) {
    note_ = note;
    ShowHelp();
}

void TSetFrm::PlaceForHelper() {
    const bool code = helper_ == Helper::kEventCode;
    const bool sms = helper_ == Helper::kSmsText;
    int buttonsTop = kButtonsTop;
    if (sms) {
        lbHint->setGeometry(kMargin, kHintTop, kListWidth, kSmsHintHeight);
        buttonsTop = kHintTop + kSmsHintHeight + 2;
    } else if (code) {
        lbHint->setGeometry(kMargin, kHintTop, kListWidth, kCodeHintHeight);
        edCodeSearch->setGeometry(kMargin, kHintTop + kCodeHintHeight + 2, kListWidth, 21);
        lstCodes->setGeometry(kMargin, kHintTop + kCodeHintHeight + 27, kListWidth,
                              kCodeListHeight);
        buttonsTop = kHintTop + kCodeHintHeight + 27 + kCodeListHeight + 5;
    }
    lbHint->setVisible(sms || code);
    edCodeSearch->setVisible(code);
    lstCodes->setVisible(code);
    btSetOK->move(kMargin, buttonsTop);
    btSetCancel->move(237, buttonsTop);
    lbWhy->setGeometry(88, buttonsTop, 144, 25);
    // Without a helper the dialog keeps its own size.
    setFixedSize(kClientWidth, kClientHeight + buttonsTop - kButtonsTop);
}

void TSetFrm::ShowHelp() {
    const std::optional<std::string> text = ToCp1250(edSetProp->text());
    if (helper_ == Helper::kSmsText) {
        const settings::SmsTextFacts facts = settings::CheckSmsText(text.value_or(""));
        const std::string warning = settings::SmsWarningText(facts);
        lbHint->setText(QString::fromStdString(settings::SmsCountText(facts, maxLength_)) +
                        (warning.empty() ? QString() : ". " + QString::fromStdString(warning)));
    } else if (helper_ == Helper::kEventCode) {
        const QString meaning =
            text && text->size() == 3 ? FromCp1250(settings::ContactIdMeaning(*text)) : QString();
        lbHint->setText(note_.isEmpty() ? meaning
                                        : meaning + (meaning.isEmpty() ? "" : "\n") + note_);
        FillCodeList();
    }
}

void TSetFrm::FillCodeList() {
    if (helper_ != Helper::kEventCode) {
        return;
    }
    // The field's digits and '*' narrow the list from the code's start; the search, by code or
    // word.
    const std::string typed = (edSetProp->text() + " " + edCodeSearch->text()).toStdString();
    lstCodes->clear();
    for (const settings::ContactIdEvent& event : settings::FindContactIdEvents(typed)) {
        const QString code = QString::number(event.code);
        auto* item = new QListWidgetItem(code + "  " + QString::fromUtf8(event.name), lstCodes);
        item->setData(Qt::UserRole, code);
    }
}

void TSetFrm::PickCode() {
    if (QListWidgetItem* item = lstCodes->currentItem()) {
        edSetProp->setText(item->data(Qt::UserRole).toString());
        edSetProp->setFocus();
    }
}

void TSetFrm::Refused(bool tooLong) {
    const QString why =
        tooLong ? QString("at most %1 characters").arg(maxLength_) : filter_->AllowedText();
    // Said once and briefly; the greyed OK's reason comes back after it.
    lbWhy->setText(why.isEmpty() ? QStringLiteral("Windows-1250 cannot hold that character") : why);
    whyTimer_->start(kWhyShownMs);
}

void TSetFrm::SetTarget(settings::StringGrid& grid, int col, int row, bool upperCase) {
    grid_ = &grid;
    col_ = col;
    row_ = row;
    filter_->SetUpperCase(upperCase);
    note_.clear();
    edCodeSearch->clear();
    lbWhy->clear();
    SetHelper(Helper::kNone);
}

void TSetFrm::SetTargetParam(settings::StringGrid& grid, int col, int row,
                             const std::string& prefix, const std::string& caption,
                             bool upperCase) {
    SetTarget(grid, col, row, upperCase);
    setWindowTitle(FromCp1250(caption));
    Message->setText(FromCp1250(prefix + ": " + caption));
}

void TSetFrm::SetTargetEvent(settings::StringGrid& grid, int col, int row,
                             const std::string& prefix, const std::string& header, bool upperCase) {
    SetTarget(grid, col, row, upperCase);
    setWindowTitle(FromCp1250(header));
    Message->setText(FromCp1250(prefix + ": " + grid.Cell(0, row) + "; " + header));
}

void TSetFrm::SetValueRule(const std::string& rule) {
    const std::vector<std::string> lines = SplitLines(rule);
    const std::string current = grid_ != nullptr ? grid_->Cell(col_, row_) : std::string();
    listMode_ = lines.size() >= 2;
    edSetProp->setVisible(!listMode_);
    cbSetProp->setVisible(listMode_);
    if (!listMode_) {
        filter_->SetAllowed(FromCp1250(rule));
        edSetProp->resize(cbSetProp->width(), edSetProp->height());
        edSetProp->setText(FromCp1250(current));
        return;
    }
    cbSetProp->clear();
    for (const std::string& line : lines) {
        cbSetProp->addItem(FromCp1250(line));
    }
    // A cell that matches no option shows the first one, but changes only on OK: Cancel must
    // not alter a setting that the next write-back would send.
    const auto match = std::find(lines.begin(), lines.end(), current);
    cbSetProp->setCurrentIndex(match == lines.end() ? 0 : static_cast<int>(match - lines.begin()));
}

void TSetFrm::SetExactLength(int length) {
    exactLength_ = length;
}

// Not the field's own limit: that would cut a longer current value.
void TSetFrm::SetMaxLength(int length) {
    maxLength_ = length;
    filter_->SetMaxLength(length);
    ShowHelp();
}

int TSetFrm::ShowModal() {
    setResult(kCancel);
    return exec();
}

void TSetFrm::reject() {
    done(kCancel);
}

void TSetFrm::CheckLength() {
    if (exactLength_ > 0) {
        const qsizetype length = edSetProp->text().size();
        btSetOK->setEnabled(length == 0 || length == exactLength_);
    }
    ShowGreyedReason();
}

void TSetFrm::ShowGreyedReason() {
    if (whyTimer_->isActive()) {
        return;  // a refused key's reason stays its while; the timer's end comes back here
    }
    lbWhy->setText(btSetOK->isEnabled() ? QString()
                                        : QString("exactly %1 characters").arg(exactLength_));
}

void TSetFrm::Confirm() {
    const QString value = listMode_ ? cbSetProp->currentText() : edSetProp->text();
    // Views of the grid follow the cell through its change notification.
    if (grid_ != nullptr) {
        if (const std::optional<std::string> bytes = ToCp1250(value)) {
            grid_->SetCell(col_, row_, *bytes);
        }
    }
    done(kOk);
}

void TSetFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    // The current value always opens confirmable; the length check starts with the first
    // change of the text.
    btSetOK->setEnabled(true);
    lbWhy->clear();
    if (listMode_) {
        PreMessage->setText(QStringLiteral("Select new value of"));
        cbSetProp->setFocus();
    } else {
        PreMessage->setText(QStringLiteral("Enter new value of"));
        edSetProp->setFocus();
        edSetProp->selectAll();
    }
}

void TSetFrm::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        btSetOK->setEnabled(true);
        ShowGreyedReason();
    }
}

}  // namespace quelvar::ui
