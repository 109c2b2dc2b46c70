#pragma once

#include <array>
#include <functional>
#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QWidget>

class QLabel;
class QPushButton;

// A favourite's azimuth entry: its value is its text read as an integer (0 when the text is
// not one), kept within 0..359 when it is set and when the entry loses the focus.
class AzimuthEntry : public QAbstractSpinBox
{
    Q_OBJECT
public:
    static constexpr int Minimum = 0;
    static constexpr int Maximum = 359;

    explicit AzimuthEntry(QWidget *parent = nullptr);

    int value() const;
    void setValue(int value);

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;

protected:
    StepEnabled stepEnabled() const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
};

// A favourite's name entry: the user can type at most MaximumTyped characters, while a longer
// name set by the program is shown in full.
class NameEntry : public QLineEdit
{
    Q_OBJECT
public:
    static constexpr int MaximumTyped = 7;

    explicit NameEntry(QWidget *parent = nullptr);

private:
    QString lastText;
    int lastCursor = 0;
};

// The favourites editor: six azimuths with their names, applied to the settings and to the
// main window's favourite buttons on "Save" and on every close.
class TFormFav : public QWidget
{
    Q_OBJECT
public:
    // french tells whether French is the main window's current language.
    TFormFav(QWidget *parent, std::function<bool()> french);

    void FormShow();
    void BitBtnSaveClick();
    void FormClose();

    // Rows 1 to 6 at indexes 0 to 5.
    std::array<AzimuthEntry *, 6> SpinEdit = {};
    std::array<NameEntry *, 6> Edit = {};
    QPushButton *BitBtnSave;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FormCreate();
    void applyEntries();

    std::function<bool()> french;
};
