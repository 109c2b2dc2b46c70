#include "platform/ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTextStream>
#include <QUrl>

namespace platform {

namespace {
DesktopUiServices desktop;
UiServices *current = nullptr;
}

UiServices &ui()
{
    return current ? *current : desktop;
}

void setUi(UiServices *services)
{
    current = services;
}

int startDetached(const QString &program, const QStringList &arguments)
{
    const QFileInfo file(program);
    if (!file.dir().exists())
        return ShellResult::PathNotFound;
    if (!file.exists())
        return ShellResult::FileNotFound;
    if (!file.isFile() || !file.isExecutable())
        return file.isReadable() ? ShellResult::NoAssociation : ShellResult::AccessDenied;
    QProcess process;
    process.setProgram(file.absoluteFilePath());
    process.setArguments(arguments);
    process.setWorkingDirectory(file.absolutePath());
    return process.startDetached() ? ShellResult::Success : ShellResult::NoAssociation;
}

void DesktopUiServices::beep(Beep)
{
    // The desktop has one bell; the three kinds of the program all ring it.
    QApplication::beep();
}

namespace {

bool programCloses = false;
// The boxes waiting for their OK, innermost last.
QList<QPointer<QMessageBox>> openBoxes;

QMessageBox::Icon icon(MessageKind kind)
{
    return kind == MessageKind::Information ? QMessageBox::Information
           : kind == MessageKind::Warning   ? QMessageBox::Warning
                                            : QMessageBox::Critical;
}

} // namespace

void writeToStandardError(const QString &text)
{
    QTextStream(stderr) << text << Qt::endl;
}

void beginClosing()
{
    programCloses = true;
    // Each box's own event loop ends; the handler under it goes on as if OK had been pressed.
    for (const QPointer<QMessageBox> &box : std::as_const(openBoxes)) {
        if (box)
            box->done(QMessageBox::Ok);
    }
}

void DesktopUiServices::message(MessageKind kind, const QString &text)
{
    // Nobody may be there to press OK: the program must close on its own.
    if (programCloses) {
        writeToStandardError(text);
        return;
    }
    QMessageBox box(icon(kind), QApplication::applicationName(), text, QMessageBox::Ok);
    openBoxes.append(&box);
    box.exec();
    openBoxes.removeAll(&box);
}

void DesktopUiServices::notify(MessageKind kind, const QString &text)
{
    if (programCloses) {
        writeToStandardError(text);
        return;
    }
    openBoxes.removeIf([](const QPointer<QMessageBox> &box) { return box.isNull() || !box->isVisible(); });
    // A failure that repeats while its box is still open needs no second box.
    for (const QPointer<QMessageBox> &box : std::as_const(openBoxes)) {
        if (box && box->text() == text)
            return;
    }
    auto *box = new QMessageBox(icon(kind), QApplication::applicationName(), text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    openBoxes.append(box);
    box->show();
}

bool DesktopUiServices::open(const QString &fileOrUrl)
{
    const QUrl url = fileOrUrl.contains(QLatin1String("://")) ? QUrl(fileOrUrl) : QUrl::fromLocalFile(fileOrUrl);
    return QDesktopServices::openUrl(url);
}

int DesktopUiServices::start(const QString &program, const QStringList &arguments)
{
    return startDetached(program, arguments);
}

} // namespace platform

#include "platform/error.h"

namespace platform {

void reportError(const QString &text)
{
    ui().message(MessageKind::Error, text);
}

} // namespace platform
