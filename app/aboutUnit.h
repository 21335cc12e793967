#pragma once
// The About dialog: the skin's About picture with the version, the home page and the
// support address over it, and a Continue button that closes it. A new dialog is made
// for every showing and destroyed once it has closed.
#include <QDialog>

#include "platform/ImageControl.h"
#include "platform/Label.h"

class QPushButton;

class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // Controls, in creation order.
    TImage* Image1 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* lblHomepage = nullptr;
    TLabel* Label3 = nullptr;
    QPushButton* SpeedButton1 = nullptr;

    // Runs each time the dialog is shown: a home page read from config.ini replaces
    // the designed address.
    void FormShow(QObject* Sender);
    void SpeedButton1Click(QObject* Sender);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Places the dialog centred over the parent's window.
    void CentreOver(QWidget* parent);
};

// The designed texts of the dialog.
inline const char* const kAboutVersionText = "( Version 1.20 )";
inline const char* const kAboutDesignedHomepage = "https://tallowick.org/";
inline const char* const kAboutSupportAddress = "support@tallowick.org";
