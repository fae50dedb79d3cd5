#include "ui/ComboSet.h"

#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <algorithm>
#include <optional>
#include <vector>

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
      filter_(new KeyFilter(*edSetProp)) {
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

    connect(btSetOK, &QPushButton::clicked, this, &TSetFrm::Confirm);
    connect(btSetCancel, &QPushButton::clicked, this, &TSetFrm::reject);
    connect(edSetProp, &QLineEdit::textChanged, this, &TSetFrm::CheckLength);
}

void TSetFrm::SetTarget(settings::StringGrid& grid, int col, int row, bool upperCase) {
    grid_ = &grid;
    col_ = col;
    row_ = row;
    filter_->SetUpperCase(upperCase);
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
    filter_->SetMaxLength(length);
}

int TSetFrm::ShowModal() {
    setResult(kCancel);
    return exec();
}

void TSetFrm::reject() {
    done(kCancel);
}

void TSetFrm::CheckLength() {
    if (exactLength_ <= 0) {
        return;
    }
    const qsizetype length = edSetProp->text().size();
    btSetOK->setEnabled(length == 0 || length == exactLength_);
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
    }
}

}  // namespace quelvar::ui
