// The Qt back end's file selection screen: the page listing pattern files
// (Recent, the folder's patterns, the bundled samples) with their pictures,
// shown in the main window in place of the view.
#include "platform/qt/qt_windows.h"
#include "platform/qt/qt_windows_impl.h"

namespace cellarium {

void QtWindows::BuildFileListPage() {
    Impl& d = *impl_;
    // The page listing pattern files, shown by Open: Recent, the folder's
    // patterns, the bundled samples; "Open Other..." and Cancel below.
    d.listPage = new QWidget(d.pages);
    auto* listLayout = new QVBoxLayout(d.listPage);
    d.listFolder = new QLabel(d.listPage);
    d.listFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    d.listTypes = new QComboBox(d.listPage);
    d.list = new QListWidget(d.listPage);
    auto* buttons = new QHBoxLayout;
    d.listOpenOther = new QPushButton(QStringLiteral("Open Other..."), d.listPage);
    d.listCancel = new QPushButton(QStringLiteral("Cancel"), d.listPage);
    d.listOpenOther->setAutoDefault(false);
    d.listCancel->setAutoDefault(false);
    buttons->addWidget(d.listOpenOther);
    buttons->addStretch(1);
    buttons->addWidget(d.listCancel);
    listLayout->addWidget(d.listFolder);
    listLayout->addWidget(d.listTypes);
    listLayout->addWidget(d.list, 1);
    listLayout->addLayout(buttons);
    d.pages->addWidget(d.listPage);
    // A click opens a file, as a tap does on a pen screen; so do a double
    // click and Enter (activation), File Information included. The entry
    // opens once, whichever of them came first.
    auto open = [this](QListWidgetItem* item) {
        Impl& i = *impl_;
        if (item == nullptr || !i.listShown || i.listOpening) return;
        const QString path = item->data(Qt::UserRole).toString();
        if (path.isEmpty()) return;  // a heading
        i.listOpening = true;
        if (CFrameWnd* f = i.frame; f != nullptr && i.delivering) {
            NoteActivity();
            f->OnFileListChoose(path.toStdString());
        }
        i.listOpening = false;
    };
    QObject::connect(d.list, &QListWidget::itemClicked, &d.context, open);
    QObject::connect(d.list, &QListWidget::itemActivated, &d.context, open);
    QObject::connect(d.listOpenOther, &QPushButton::clicked, &d.context, [this] {
        Impl& i = *impl_;
        if (i.frame == nullptr || !i.listShown || i.listOpening || !i.delivering) return;
        i.listOpening = true;
        NoteActivity();
        i.frame->OnFileListOpenOther();
        i.listOpening = false;
    });
    auto cancel = [this] {
        Impl& i = *impl_;
        if (i.frame == nullptr || !i.listShown || i.listOpening || !i.delivering) return;
        NoteActivity();
        i.frame->OnFileListCancel();
    };
    QObject::connect(d.listCancel, &QPushButton::clicked, &d.context, cancel);
    auto* escape = new EscapeFilter(d.listPage, cancel);
    for (QWidget* w : d.listPage->findChildren<QWidget*>()) w->installEventFilter(escape);
    d.listPage->installEventFilter(escape);
    QObject::connect(d.listTypes, &QComboBox::currentIndexChanged, &d.context, [this](int index) {
        Impl& i = *impl_;
        i.list->clear();
        if (index < 0) return;
        auto heading = [&i](const QString& text) {
            auto* item = new QListWidgetItem(text, i.list);
            item->setFlags(Qt::NoItemFlags);  // a heading: never chosen
            item->setForeground(i.list->palette().color(QPalette::WindowText));
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        };
        if (!i.listRequest.recent.empty()) {
            heading(QStringLiteral("Recent"));
            for (const std::string& recent : i.listRequest.recent) {
                const QFileInfo info(QString::fromStdString(recent));
                auto* item = new QListWidgetItem(i.list);
                item->setData(kNameRole, info.fileName());
                item->setData(kSuffixRole, QStringLiteral("  \u2014 ") + info.absolutePath());
                item->setData(Qt::UserRole, info.absoluteFilePath());
                item->setToolTip(info.absoluteFilePath());
            }
        }
        const QStringList patterns = i.listTypes->itemData(index).toStringList();
        const QDir dir(i.listDir);
        const QStringList mine =
            dir.entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
        if (!mine.isEmpty() && !i.listRequest.recent.empty()) heading(dir.dirName());
        for (const QString& name : mine) {
            auto* item = new QListWidgetItem(i.list);
            item->setData(kNameRole, name);
            item->setData(Qt::UserRole, dir.absoluteFilePath(name));
        }
        // The bundled samples, always, after the user's own, marked as such.
        const QString samplesFolder = QString::fromStdString(i.listRequest.samplesFolder);
        if (!samplesFolder.isEmpty() && QDir(samplesFolder).absolutePath() != dir.absolutePath()) {
            const QDir samples(samplesFolder);
            const QStringList names =
                samples.entryList(patterns, QDir::Files, QDir::Name | QDir::IgnoreCase);
            if (!names.isEmpty()) heading(QStringLiteral("Samples"));
            for (const QString& name : names) {
                auto* item = new QListWidgetItem(i.list);
                item->setData(kNameRole, name);
                item->setData(kSuffixRole, QStringLiteral("  (sample)"));
                item->setData(Qt::UserRole, samples.absoluteFilePath(name));
            }
        }
        i.pictures->CancelWaiting();
        for (int row = 0; row < i.list->count(); ++row) i.Decorate(i.list->item(row));
        for (int row = 0; row < i.list->count(); ++row)
            if (i.list->item(row)->flags() & Qt::ItemIsEnabled) {
                i.list->setCurrentRow(row);
                break;
            }
    });
}

// --- The file list -----------------------------------------------------------------

void QtWindows::ShowFileList(CFrameWnd& frame, const FileListRequest& request) {
    Impl& d = *impl_;
    if (&frame != d.frame || d.listPage == nullptr) return;
    d.listRequest = request;
    d.pictures->SetMaker(request.makePicture, request.pictureKey);
    d.list->setIconSize(QSize(kFilePictureSide, kFilePictureSide));
    // The folder named; else the user's pattern folder (made when missing);
    // else the open document's, else the working folder.
    QString dir = QString::fromStdString(request.folder);
    const QString documents = QString::fromStdString(request.documentsFolder);
    if ((dir.isEmpty() || !QFileInfo(dir).isDir()) && !documents.isEmpty() &&
        QDir().mkpath(documents))
        dir = documents;
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QDir::currentPath();
        if (CDocument* doc = frame.GetActiveDocument(); doc && !doc->GetPathName().empty()) {
            const QFileInfo info(QString::fromStdString(doc->GetPathName()));
            if (info.dir().exists()) dir = info.absolutePath();
        }
    }
    d.listDir = QDir(dir).absolutePath();
    d.listFolder->setText(d.listDir);
    d.listFilters = ParseFilter(request.filter);
    d.listCancel->setEnabled(request.canCancel);
    d.listTypes->blockSignals(true);
    d.listTypes->clear();
    d.listTypes->addItem(QStringLiteral("Pattern Files"), kPatternPatterns);
    for (const auto& [name, patterns] : d.listFilters) d.listTypes->addItem(name, patterns);
    d.listTypes->addItem(QStringLiteral("All Files"), QStringList{QStringLiteral("*")});
    d.listTypes->blockSignals(false);
    d.listTypes->setCurrentIndex(-1);
    d.listTypes->setCurrentIndex(0);
    d.listShown = true;
    d.pages->setCurrentWidget(d.listPage);
    if (d.strip) d.strip->hide();
    d.list->setFocus();
    frame.OnFileListOpened();
}

void QtWindows::CloseFileList(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame || d.pages == nullptr) return;
    const bool wasShown = d.listShown;
    d.listShown = false;
    d.pictures->CancelWaiting();
    if (wasShown) ApplyCommandBar(d.mainBar);
    d.pages->setCurrentWidget(d.viewPage);
    if (d.strip) d.strip->show();
    for (auto& [wnd, widget] : d.views) widget->setFocus();
    if (wasShown) frame.OnFileListClosed();
}

bool QtWindows::FileListShown() const {
    return impl_->listShown;
}

QWidget* QtWindows::FileListPage() const {
    return impl_->listPage;
}

QWidget* QtWindows::FileListOpenOtherButton() const {
    return impl_->listOpenOther;
}

QWidget* QtWindows::FileListCancelButton() const {
    return impl_->listCancel;
}

int QtWindows::FilePicturesMade() const {
    return impl_->pictures->Made();
}

}  // namespace cellarium
