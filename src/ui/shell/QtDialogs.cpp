// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/shell/QtDialogs.h"

#include "ui/shell/ProductInfo.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

namespace {
QMessageBox::Icon toQt(Dialogs::Icon icon)
{
    switch (icon) {
    case Dialogs::Icon::Exclamation:
        return QMessageBox::Warning;
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

QWidget* QtDialogs::parentWidget() const
{
    // A hidden parent (the main window during start-up) would place the box off screen.
    return m_parent && m_parent->isVisible() ? m_parent.data() : nullptr;
}

Dialogs::Answer QtDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    QMessageBox box(parentWidget());
    box.setWindowTitle(title.isEmpty() ? ProductInfo::ApplicationTitle : title);
    box.setText(text);
    box.setIcon(toQt(icon));
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case Buttons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    const int result = box.exec();
    switch (result) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        break;
    }
    // Closed by its frame: the safe answer for each set of buttons.
    if (buttons == Buttons::YesNo)
        return Answer::No;
    if (buttons == Buttons::YesNoCancel)
        return Answer::Cancel;
    return Answer::Ok;
}

void QtDialogs::notice(const QString& text, Icon icon, const QString& title)
{
    const QString caption = title.isEmpty() ? ProductInfo::ApplicationTitle : title;
    qWarning().noquote() << caption + QStringLiteral(": ") + QString(text).simplified();
    // Shown once the event loop runs: at start-up the main window opens after this and would cover it.
    QTimer::singleShot(0, QCoreApplication::instance(), [this, text, icon, caption] {
        auto* box = new QMessageBox(toQt(icon), caption, text, QMessageBox::Ok, parentWidget());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        box->show();
        box->raise();
    });
}

QString QtDialogs::fileName(const FileRequest& request, bool save) const
{
    QFileDialog dialog(parentWidget(), request.title, request.initialFolder, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

QString QtDialogs::saveFileName(const FileRequest& request)
{
    return fileName(request, true);
}

QString QtDialogs::openFileName(const FileRequest& request)
{
    return fileName(request, false);
}
