#pragma once

#include <functional>
#include <QLabel>
#include <QWidget>

class QFrame;
class QPushButton;
class QToolButton;

// A label that opens its address when clicked.
class TLabelUrl : public QLabel
{
    Q_OBJECT
public:
    explicit TLabelUrl(QWidget *parent = nullptr);

    QString Url() const { return url; }
    // Also shows the address as the caption.
    void setUrl(const QString &address);

    // Called on a click, before the address is opened.
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    QString url;
};

// The about box: name and version, the project's address and the donation button.
class TFormInfo : public QWidget
{
    Q_OBJECT
public:
    static const QString SiteAddress;
    static const QString DonationAddress;

    explicit TFormInfo(QWidget *parent);

    void BitBtn1Click();
    void SpeedButton1Click();

    QFrame *Panel1;
    QLabel *Image1;
    QLabel *Label1;
    QLabel *Label2;
    TLabelUrl *LabelUrl3;
    QToolButton *SpeedButton1;
    QPushButton *BitBtn1;
};
