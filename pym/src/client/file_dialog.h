// pym's file dialogs: the kinds of file that the pages exchange, and one modal dialog for
// opening and saving them.
#pragma once

#include <QFileDialog>
#include <QString>

#include <optional>

struct FileKind {
    QString filter;  // empty: every file
    QString caption; // of the dialog that opens one
};

// The kind named "mod", "dis", "bin", "conf", "wav" or "img"; an unknown name gives no filter and
// no caption.
FileKind fileKind(const QString& name);

// The kind whose files an upload field accepts (".conf"; ".bmp", ".png" and the like are "img");
// empty when none is known.
QString kindAccepted(const QStringList& acceptedTypes);

// A modal dialog over parent: the first file chosen (possibly empty), or nothing when cancelled.
std::optional<QString> runFileDialog(QWidget* parent, const QString& caption, const QString& filter,
                                     const QString& directory, const QString& selectedFile,
                                     QFileDialog::AcceptMode mode, const QString& acceptText);
