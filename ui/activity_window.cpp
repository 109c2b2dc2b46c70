#include "ui/activity_window.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/activity_log.h"

ActivityWindow::ActivityWindow(QWidget *parent, ActivityLog *log)
    : QWidget(parent, Qt::Window), Table(new QTableView(this)), ButtonCopy(new QPushButton(this)), log(log)
{
    setObjectName(QStringLiteral("FormActivity"));
    Table->setObjectName(QStringLiteral("TableActivity"));
    ButtonCopy->setObjectName(QStringLiteral("ButtonCopyActivity"));
    Table->setModel(log);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->verticalHeader()->hide();
    Table->horizontalHeader()->setStretchLastSection(true);
    connect(ButtonCopy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(this->log->text()); });
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(Table, 1);
    column->addWidget(ButtonCopy, 0, Qt::AlignRight);
    resize(560, 300);
    setLanguageTexts(false);
}

void ActivityWindow::setLanguageTexts(bool french)
{
    setWindowTitle(french ? QStringLiteral("Activité") : QStringLiteral("Activity"));
    ButtonCopy->setText(french ? QStringLiteral("Copier") : QStringLiteral("Copy"));
}
