#include "client/file_dialog.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QUrl>

FileKind fileKind(const QString& name)
{
    auto tr = [](const char* text) { return QCoreApplication::translate("webpage", text); };
    if (name == QLatin1String("mod"))
        return {tr("Intercom module files (*_module_*_*.mod)"), tr("Open intercom module file")};
    if (name == QLatin1String("dis")) return {tr("Intercom firmware files (*.dis)"), tr("Open intercom firmware file")};
    if (name == QLatin1String("bin")) return {tr("Intercom image files (*.bin)"), tr("Open intercom image file")};
    if (name == QLatin1String("conf"))
        return {tr("Intercom configuration files (*.conf)"), tr("Open intercom configuration file")};
    if (name == QLatin1String("wav")) return {tr("Audio files (*.wav)"), tr("Open audio file")};
    if (name == QLatin1String("img")) return {tr("Image files (*.bmp *.jpg *.jpeg *.png)"), tr("Open image file")};
    return {};
}

QString kindAccepted(const QStringList& acceptedTypes)
{
    static const QStringList images = {QStringLiteral("bmp"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                       QStringLiteral("png")};
    for (const QString& type : acceptedTypes) {
        if (!type.startsWith(QLatin1Char('.'))) continue;
        const QString extension = type.mid(1).toLower();
        if (images.contains(extension)) return QStringLiteral("img");
        if (!fileKind(extension).filter.isEmpty()) return extension;
    }
    return {};
}

std::optional<QString> runFileDialog(QWidget* parent, const QString& caption, const QString& filter,
                                     const QString& directory, const QString& selectedFile,
                                     QFileDialog::AcceptMode mode, const QString& acceptText)
{
    // Qt's own dialog: the side bar and the button texts are ours on every desktop.
    QFileDialog dialog(parent, caption, directory);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!filter.isEmpty()) dialog.setNameFilter(filter);
    dialog.setViewMode(QFileDialog::List);
    dialog.setAcceptMode(mode);
    dialog.setLabelText(QFileDialog::Accept, acceptText);
    dialog.setLabelText(QFileDialog::Reject, QCoreApplication::translate("webview", "Cancel"));
    if (!selectedFile.isEmpty()) dialog.selectFile(selectedFile);
    QList<QUrl> sidebar;
    for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::HomeLocation,
                          QStandardPaths::DocumentsLocation, QStandardPaths::MusicLocation,
                          QStandardPaths::MoviesLocation, QStandardPaths::PicturesLocation})
        sidebar << QUrl::fromLocalFile(QStandardPaths::writableLocation(location));
    dialog.setSidebarUrls(sidebar);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.selectedFiles().value(0);
}
