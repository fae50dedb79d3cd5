#pragma once
// The main window's controls as a test reaches them: by the object names the window gives
// them, so that the tests depend on what a user sees, not on the window's members.

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QtGlobal>

#include "ui/DeviceLogWindow.h"
#include "ui/Gsm.h"
#include "ui/StringGridView.h"

namespace quelvar::test {

template <class Control>
Control* Named(const ui::TFormMain& form, const char* name) {
    auto* control = form.findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) {
        qFatal("The window has no %s named %s", Control::staticMetaObject.className(), name);
    }
    return control;
}

// One accessor per control, named as the window names it: sgPhnrs(form).
#define QUELVAR_CONTROL(Type, name)                \
    inline Type* name(const ui::TFormMain& form) { \
        return Named<Type>(form, #name);           \
    }
QUELVAR_CONTROL(QToolBar, ToolBar1)
QUELVAR_CONTROL(QToolButton, tbtnOpen)
QUELVAR_CONTROL(QToolButton, tbtnSave)
QUELVAR_CONTROL(QToolButton, btnSaveToDev)
QUELVAR_CONTROL(QToolButton, ToolButton1)
QUELVAR_CONTROL(QToolButton, btnMore)
QUELVAR_CONTROL(QAction, actCompare)
QUELVAR_CONTROL(QAction, actShowDifferences)
QUELVAR_CONTROL(QAction, actDeviceLog)
QUELVAR_CONTROL(QAction, actPrintSettings)
QUELVAR_CONTROL(QAction, actUndo)
QUELVAR_CONTROL(QAction, actRedo)
QUELVAR_CONTROL(QAction, actBackups)
QUELVAR_CONTROL(QAction, actSites)
QUELVAR_CONTROL(QLabel, sbCustomer)
QUELVAR_CONTROL(QAction, actLogInAgain)
QUELVAR_CONTROL(QWidget, pnlNoSettings)
QUELVAR_CONTROL(QPushButton, btnOpenFile)
QUELVAR_CONTROL(QPushButton, btnLogIn)
QUELVAR_CONTROL(QLabel, stPIN)
QUELVAR_CONTROL(QLabel, stGSM)
QUELVAR_CONTROL(QLabel, stLINE)
QUELVAR_CONTROL(QLabel, stINPUT1)
QUELVAR_CONTROL(QLabel, stINPUT2)
QUELVAR_CONTROL(QLabel, Label2)
QUELVAR_CONTROL(QLabel, Label3)
QUELVAR_CONTROL(QListWidget, lbEvents)
QUELVAR_CONTROL(QGroupBox, gbMset)
QUELVAR_CONTROL(QGroupBox, rgOpMode)
QUELVAR_CONTROL(QGroupBox, GroupBox2)
QUELVAR_CONTROL(QGroupBox, GroupBox3)
QUELVAR_CONTROL(QGroupBox, gbIN1)
QUELVAR_CONTROL(QGroupBox, GroupBox7)
QUELVAR_CONTROL(QGroupBox, gbPhnrs1)
QUELVAR_CONTROL(QGroupBox, gbExtevents)
QUELVAR_CONTROL(QGroupBox, gbIntevents)
QUELVAR_CONTROL(QGroupBox, gbMonParams)
QUELVAR_CONTROL(ui::StringGridView, sgGPRSConnection)
QUELVAR_CONTROL(ui::StringGridView, sgSMSFW)
QUELVAR_CONTROL(ui::StringGridView, sgIN1)
QUELVAR_CONTROL(ui::StringGridView, sgIN2)
QUELVAR_CONTROL(ui::StringGridView, sgPhnrs)
QUELVAR_CONTROL(ui::StringGridView, sgeAlarmList)
QUELVAR_CONTROL(ui::StringGridView, sgeInEvSet)
QUELVAR_CONTROL(ui::StringGridView, sgeInEvSetCID)
QUELVAR_CONTROL(QStatusBar, sb1)
QUELVAR_CONTROL(QProgressBar, pb1)
#undef QUELVAR_CONTROL

// The mode selection's items: 0 Standalone, 1 Transparent.
inline QRadioButton* ModeButton(const ui::TFormMain& form, int index) {
    return Named<QRadioButton>(form, index == 0 ? "rgOpModeStandalone" : "rgOpModeTransparent");
}

// The device log window, once the More menu has opened it.
inline ui::DeviceLogWindow* OpenDeviceLogWindow(const ui::TFormMain& form) {
    return form.findChild<ui::DeviceLogWindow*>("deviceLogWindow");
}

}  // namespace quelvar::test
