// TEMPORARY stand-in for the dialog role, so that this worktree links and the
// program runs: message boxes and file dialogs are the real Qt ones, a modal
// dialog is a plain window listing its texts with OK and Cancel, the status
// strip a row of labels and check boxes. The full implementation lays every
// control out from its template and replaces this file.
#include "platform/qt/qt_dialogs.h"

#include <QCheckBox>
#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/dialog.h"
#include "framework/frame_wnd.h"
#include "platform/qt/qt_platform.h"

namespace cellarium {

struct QtDialogs::Impl {
    explicit Impl(QtPlatform& p) : platform(p) {}
    struct Host {
        QPointer<QWidget> top;
        std::map<int, QPointer<QWidget>> controls;
    };
    QtPlatform& platform;
    std::map<const ControlHost*, Host> hosts;

    void Refresh(ControlHost& host, int id) {
        auto h = hosts.find(&host);
        if (h == hosts.end()) return;
        auto c = h->second.controls.find(id);
        const ControlState* state = host.Find(id);
        if (c == h->second.controls.end() || !c->second || state == nullptr) return;
        QWidget* w = c->second;
        if (auto* label = qobject_cast<QLabel*>(w))
            label->setText(QString::fromStdString(state->text));
        if (auto* box = qobject_cast<QCheckBox*>(w)) {
            box->setText(QString::fromStdString(state->text));
            box->setChecked(state->check != 0);
        }
        w->setVisible(state->visible);
        w->setEnabled(state->enabled);
    }
};

QtDialogs::QtDialogs(QtPlatform& platform) : impl_(std::make_unique<Impl>(platform)) {}

QtDialogs::~QtDialogs() {
    for (auto& [host, h] : impl_->hosts) delete h.top.data();
}

void QtDialogs::ControlChanged(ControlHost& host, int id) {
    if (id == 0) {
        auto h = impl_->hosts.find(&host);
        if (auto* bar = dynamic_cast<CDialogBar*>(&host);
            bar && h != impl_->hosts.end() && h->second.top)
            h->second.top->setVisible(bar->IsBarVisible());
        return;
    }
    impl_->Refresh(host, id);
}

void QtDialogs::SetFocusControl(ControlHost& host, int id) {
    if (QWidget* w = ControlWidget(host, id)) w->setFocus();
}

void QtDialogs::RunModalDialog(CDialog& dialog) {
    QDialog box(impl_->platform.MainQtWindow());
    const DialogTemplate* tmpl = dialog.Template();
    box.setWindowTitle(QString::fromStdString(tmpl ? tmpl->caption : std::string()));
    auto* layout = new QVBoxLayout(&box);
    auto* buttons = new QHBoxLayout;
    for (const ControlState& c : dialog.Controls()) {
        if (c.tmpl == nullptr) continue;
        const int id = c.tmpl->id;
        if (c.tmpl->kind == ControlKind::PushButton || c.tmpl->kind == ControlKind::DefPushButton) {
            auto* b = new QPushButton(QString::fromStdString(c.text), &box);
            QObject::connect(b, &QPushButton::clicked, &box, [&dialog, &box, id] {
                dialog.UserClicks(id);
                if (!dialog.IsModalOpen()) box.done(dialog.ModalResult());
            });
            buttons->addWidget(b);
        } else if (!c.text.empty() && c.visible) {
            auto* label = new QLabel(QString::fromStdString(c.text), &box);
            label->setWordWrap(true);
            layout->addWidget(label);
        }
    }
    layout->addLayout(buttons);
    box.exec();
    if (dialog.IsModalOpen()) dialog.UserClicks(IDCANCEL);
    if (dialog.IsModalOpen()) dialog.EndDialog(IDCANCEL);
}

void QtDialogs::DialogBarCreated(CDialogBar& bar) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(6, 2, 6, 2);
    Impl::Host& h = impl_->hosts[&bar];
    h.top = row;
    for (const ControlState& c : bar.Controls()) {
        if (c.tmpl == nullptr) continue;
        const int id = c.tmpl->id;
        QWidget* w = nullptr;
        if (c.tmpl->kind == ControlKind::CheckBox) {
            auto* box = new QCheckBox(row);
            box->setFocusPolicy(Qt::NoFocus);
            QObject::connect(box, &QCheckBox::clicked, row, [&bar, id] { bar.UserClicks(id); });
            w = box;
        } else {
            w = new QLabel(row);
        }
        layout->addWidget(w);
        h.controls[id] = w;
        impl_->Refresh(bar, id);
    }
    layout->addStretch(1);
    impl_->platform.PlaceStatusStrip(row);
}

void QtDialogs::DialogBarDestroyed(CDialogBar& bar) {
    auto h = impl_->hosts.find(&bar);
    if (h == impl_->hosts.end()) return;
    impl_->platform.PlaceStatusStrip(nullptr);
    delete h->second.top.data();
    impl_->hosts.erase(h);
}

int QtDialogs::MessageBox(const MessageBoxRequest& request) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton,
                    impl_->platform.MainQtWindow());
    switch (request.type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MB_YESNO:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MB_YESNOCANCEL:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        case QMessageBox::Cancel:
            return IDCANCEL;
        case QMessageBox::Ok:
            return IDOK;
        default:
            return (request.type & MB_TYPEMASK) == MB_OK ? IDOK : IDCANCEL;
    }
}

std::optional<std::string> QtDialogs::RunFileDialog(const FileDialogRequest& request) {
    QStringList filters;
    const QStringList parts = QString::fromStdString(request.filter).split('|');
    for (qsizetype i = 0; i + 1 < parts.size() && !parts[i].isEmpty(); i += 2)
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    const QString filter = filters.join(";;");
    const QString name = QString::fromStdString(request.fileName);
    QString path =
        request.open
            ? QFileDialog::getOpenFileName(impl_->platform.MainQtWindow(), QString(), name, filter)
            : QFileDialog::getSaveFileName(impl_->platform.MainQtWindow(), QString(), name, filter);
    if (path.isEmpty()) return std::nullopt;
    return path.toStdString();
}

QWidget* QtDialogs::ControlWidget(const ControlHost& host, int id) const {
    auto h = impl_->hosts.find(&host);
    if (h == impl_->hosts.end()) return nullptr;
    auto c = h->second.controls.find(id);
    return c == h->second.controls.end() ? nullptr : c->second.data();
}

QWidget* QtDialogs::HostWidget(const ControlHost& host) const {
    auto h = impl_->hosts.find(&host);
    return h == impl_->hosts.end() ? nullptr : h->second.top.data();
}

}  // namespace cellarium
