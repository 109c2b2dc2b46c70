#include "platform/ui_services.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
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

void DesktopUiServices::message(MessageKind kind, const QString &text)
{
    const QString title = QApplication::applicationName();
    switch (kind) {
    case MessageKind::Information:
        QMessageBox::information(nullptr, title, text);
        break;
    case MessageKind::Warning:
        QMessageBox::warning(nullptr, title, text);
        break;
    case MessageKind::Error:
        QMessageBox::critical(nullptr, title, text);
        break;
    }
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
