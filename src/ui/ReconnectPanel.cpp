#include "ui/ReconnectPanel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace quelvar::ui {

ReconnectPanel::ReconnectPanel(QWidget* settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName("pnlNoSettings");
    lbNoSettings = new QLabel(this);
    lbNoSettings->setObjectName("lbNoSettings");
    lbNoSettings->setTextFormat(Qt::PlainText);
    btnOpenFile = new QPushButton("Open a settings file...", this);
    btnOpenFile->setObjectName("btnOpenFile");
    btnOpenFile->setToolTip("Open a settings file (Ctrl+O)");
    btnLogIn = new QPushButton("Log in", this);
    btnLogIn->setObjectName("btnLogIn");
    btnLogIn->setToolTip("Log in to the communicator attached, as plugging it in does");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnOpenFile);
    buttons->addWidget(btnLogIn);
    buttons->addStretch();
    auto* column = new QVBoxLayout(this);
    column->addWidget(lbNoSettings);
    column->addLayout(buttons);
    column->addStretch();
    connect(btnOpenFile, &QPushButton::clicked, this, &ReconnectPanel::openFileClicked);
    connect(btnLogIn, &QPushButton::clicked, this, &ReconnectPanel::logInClicked);
    OfferLogIn(false);
    settings_->installEventFilter(this);
    setVisible(settings_->isHidden());
}

void ReconnectPanel::OfferLogIn(bool offered) {
    btnLogIn->setVisible(offered);
    lbNoSettings->setText(offered ? "A communicator is attached but not logged in."
                                  : "No settings are shown: no communicator is logged in.");
}

bool ReconnectPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == settings_ && (event->type() == QEvent::Show || event->type() == QEvent::Hide)) {
        setVisible(event->type() == QEvent::Hide);
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace quelvar::ui
