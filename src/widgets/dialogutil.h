#pragma once

class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

// Places a window in the middle of its screen, as every dialog of the program is placed.
void centreOnScreen(QWidget *window);

// "OK" (btnOK) and "Cancel" (btnCancel), wired to accept and reject.
QDialogButtonBox *okCancel(QDialog *dialog);

// A read-only field looks greyed out, so the user sees it cannot be typed into.
void setReadOnlyLook(QLineEdit *edit, bool readOnly);

// A push button with its object name, so that tests and the code that wires it can find it.
QPushButton *namedButton(QWidget *parent, const char *name, const QString &caption);
