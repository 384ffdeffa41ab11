// Dialogs of the desktop back end. A host (a modal dialog or the status
// strip) gets one widget per control of its template, placed at the
// template's position in dialog units. The host keeps the state of every
// control; the widgets only show it. The user's input goes back through the
// host (UserTypes, UserClicks, UserSelects), and the widget is then set again
// from the host, so the two never disagree about a check box or a text.
#include "platform/qt/qt_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <vector>

#include "framework/dialog.h"
#include "framework/frame_wnd.h"
#include "platform/qt/file_filter.h"
#include "platform/qt/qt_list_box.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/template_layout.h"

namespace cellarium {
namespace {

// Message-box icons by the value of their style bits.
constexpr unsigned kIconMask = 0xF0;
constexpr unsigned kIconStop = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconInformation = 0x40;

// How often an open dialog looks whether something other than the user's
// input (a timer, a handler of another window) ended it.
constexpr int kEndPollMs = 25;

// How long a dialog waits for its owner to be placed on the screen.
constexpr int kPlaceWaitMs = 1000;

// The side of the program's icon in a dialog.
constexpr int kIconSide = 32;

// A modal dialog whose Escape key and close box are the host's Cancel, and
// which closes only when told that the host ended it.
class TemplateDialog final : public QDialog {
public:
    TemplateDialog(QWidget* parent, std::function<void()> onCancel)
        : QDialog(parent), onCancel_(std::move(onCancel)) {}

    void reject() override {
        if (onCancel_) onCancel_();
    }
    void Finish(int result) { QDialog::done(result); }

private:
    std::function<void()> onCancel_;
};

// A static that shows as much of its text as fits, ending in an ellipsis,
// with the whole text as its tooltip when it is cut.
class ElidingLabel final : public QLabel {
public:
    using QLabel::QLabel;
    void SetWholeText(const QString& text) {
        whole_ = text;
        Elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        Elide();
    }

private:
    void Elide() {
        const QString shown = fontMetrics().elidedText(whole_, Qt::ElideRight, width());
        if (text() != shown) setText(shown);
        setToolTip(shown == whole_ ? QString() : whole_);
    }
    QString whole_;
};

// A bar wider than its template: the controls that end at (or just short
// of) the template's right edge stretch with the bar, keeping their margin,
// so that what is drawn against that edge stays against the bar's.
class RightEdgeFollower final : public QObject {
public:
    struct Stretched {
        QWidget* widget;
        int margin;  // pixels between the control and the bar's right edge
    };
    RightEdgeFollower(QWidget& bar, std::vector<Stretched> stretched)
        : QObject(&bar), bar_(bar), stretched_(std::move(stretched)) {
        bar.installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &bar_ && event->type() == QEvent::Resize)
            for (const Stretched& s : stretched_)
                s.widget->resize(std::max(1, bar_.width() - s.margin - s.widget->x()),
                                 s.widget->height());
        return false;
    }

private:
    QWidget& bar_;
    std::vector<Stretched> stretched_;
};

// How close to a bar's right edge a control ends, in dialog units, to be
// taken as drawn against it.
constexpr int kRightEdgeUnits = 4;

// The program's icon: the application's when it has one, else a glider.
QPixmap ProgramIcon() {
    const QIcon appIcon = QApplication::windowIcon();
    if (!appIcon.isNull()) return appIcon.pixmap(kIconSide, kIconSide);
    QPixmap pixmap(kIconSide, kIconSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(1, 1, kIconSide - 2, kIconSide - 2), QColor(0x20, 0x30, 0x60));
    const int cell = (kIconSide - 4) / 3;
    static const int kGlider[5][2] = {{1, 0}, {2, 1}, {0, 2}, {1, 2}, {2, 2}};
    for (const auto& c : kGlider)
        painter.fillRect(QRect(2 + c[0] * cell + 1, 2 + c[1] * cell + 1, cell - 2, cell - 2),
                         QColor(0xF0, 0xD0, 0x40));
    return pixmap;
}

// A read-only field has the window's background, as a label would, so that
// it does not look as if it took typing.
void ShowReadOnly(QWidget& field, bool readOnly) {
    QPalette palette = field.palette();
    const QPalette standard = QApplication::palette(&field);
    palette.setBrush(QPalette::Base, readOnly ? standard.window() : standard.base());
    field.setPalette(palette);
}

// The widget a modal box or file dialog should sit on: the open modal dialog
// when there is one, else the main window (or none).
QWidget* OwnerWidget(QtPlatform& platform) {
    if (QWidget* modal = QApplication::activeModalWidget()) return modal;
    return platform.MainQtWindow();
}

// A window just shown (the main window at start-up, with the first dialog of
// a pattern named on the command line) is placed by the window manager a
// moment later: a dialog centred on it before then would open elsewhere.
void WaitUntilPlaced(QWidget* owner) {
    QWindow* handle = owner != nullptr ? owner->windowHandle() : nullptr;
    if (handle == nullptr || !owner->isVisible()) return;
    QElapsedTimer waited;
    waited.start();
    while (!handle->isExposed() && waited.elapsed() < kPlaceWaitMs)
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
}

// Centres a window over its owner's frame.
void CentreOn(QWidget& window, const QWidget* owner) {
    if (owner == nullptr || !owner->isVisible()) return;
    const QRect frame = owner->frameGeometry();
    window.move(frame.center() - QPoint(window.width() / 2, window.height() / 2));
}

}  // namespace

struct QtDialogs::Impl {
    explicit Impl(QtPlatform& p) : platform(p) {}

    // One host on screen.
    struct HostView {
        ControlHost* host = nullptr;
        CDialog* dialog = nullptr;  // set for a modal dialog
        QPointer<QWidget> top;
        std::vector<QWidget*> widgets;     // in the order of the host's controls
        std::map<int, QWidget*> controls;  // by id, for the addressed ones
        std::map<int, bool> latin1;        // texts that came in as Latin-1
        int refreshing = 0;                // setting widgets from the host
    };

    QtPlatform& platform;
    std::map<const ControlHost*, std::unique_ptr<HostView>> hosts;
    // Focus asked for before the host was on screen.
    std::map<const ControlHost*, int> pendingFocus;

    HostView* Find(const ControlHost& host) const {
        auto it = hosts.find(&host);
        return it == hosts.end() ? nullptr : it->second.get();
    }

    void Build(HostView& view, QWidget& top);
    QWidget* MakeControl(HostView& view, QWidget& top, const ControlState& state,
                         const DialogBase& base);
    void Refresh(HostView& view, const ControlState& state);
    void RefreshAll(HostView& view);
    // After the user's input reached the host, which may since have gone.
    void AfterInput(const ControlHost* host, int id);
    void Cancel(HostView& view);
    void Focus(HostView& view, int id);
};

void QtDialogs::Impl::Build(HostView& view, QWidget& top) {
    const DialogTemplate& tmpl = *view.host->Template();
    const QFont font = TemplateFont(tmpl);
    top.setFont(font);
    const DialogBase base = DialogBase::ForFont(font);
    for (const ControlState& state : view.host->Controls()) {
        QWidget* w = MakeControl(view, top, state, base);
        view.widgets.push_back(w);
        if (state.tmpl->id != IDC_STATIC) view.controls[state.tmpl->id] = w;
    }
    RefreshAll(view);
}

QWidget* QtDialogs::Impl::MakeControl(HostView& view, QWidget& top, const ControlState& state,
                                      const DialogBase& base) {
    const ControlTemplate& t = *state.tmpl;
    const int id = t.id;
    ControlHost* host = view.host;
    QRect rect = base.ToPixels(t.x, t.y, t.cx, t.cy);
    QWidget* widget = nullptr;

    switch (t.kind) {
        case ControlKind::Static: {
            auto* label =
                (t.style & SS_ENDELLIPSIS) != 0 ? new ElidingLabel(&top) : new QLabel(&top);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(((t.style & SS_RIGHT) != 0 ? Qt::AlignRight : Qt::AlignLeft) |
                                Qt::AlignTop);
            // A static taller than one line wraps its words.
            label->setWordWrap(t.cy >= 16);
            widget = label;
            break;
        }
        case ControlKind::Edit:
            if ((t.style & ES_MULTILINE) != 0) {
                auto* edit = new QPlainTextEdit(&top);
                edit->setVerticalScrollBarPolicy(
                    (t.style & WS_VSCROLL) != 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
                edit->setLineWrapMode((t.style & ES_AUTOHSCROLL) != 0
                                          ? QPlainTextEdit::NoWrap
                                          : QPlainTextEdit::WidgetWidth);
                QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [this, host, id, edit] {
                    HostView* v = Find(*host);
                    if (v == nullptr || v->refreshing > 0) return;
                    host->UserTypes(
                        id, FromQtText(LinesFromDisplay(edit->toPlainText()), v->latin1[id]));
                    AfterInput(host, id);
                });
                widget = edit;
            } else {
                auto* edit = new QLineEdit(&top);
                if ((t.style & WS_BORDER) == 0) edit->setFrame(false);
                if ((t.style & ES_NUMBER) != 0)
                    edit->setValidator(new QRegularExpressionValidator(
                        QRegularExpression(QStringLiteral("[0-9]*")), edit));
                QObject::connect(edit, &QLineEdit::textEdited, edit,
                                 [this, host, id](const QString& text) {
                                     HostView* v = Find(*host);
                                     if (v == nullptr) return;
                                     host->UserTypes(id, FromQtText(text, v->latin1[id]));
                                     AfterInput(host, id);
                                 });
                widget = edit;
            }
            break;
        case ControlKind::PushButton:
        case ControlKind::DefPushButton: {
            auto* button = new QPushButton(&top);
            QObject::connect(button, &QPushButton::clicked, button, [this, host, id] {
                host->UserClicks(id);
                AfterInput(host, id);
            });
            widget = button;
            break;
        }
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(&top);
            // Qt has already toggled the box; the host toggles its own state
            // and the refresh after the click shows that one.
            QObject::connect(box, &QCheckBox::clicked, box, [this, host, id] {
                host->UserClicks(id);
                AfterInput(host, id);
            });
            widget = box;
            break;
        }
        case ControlKind::GroupBox: {
            auto* group = new QGroupBox(&top);
            group->setFocusPolicy(Qt::NoFocus);
            widget = group;
            break;
        }
        case ControlKind::ComboBox: {
            // The framework's combo boxes are lists to choose from.
            auto* combo = new QComboBox(&top);
            combo->setEditable(false);
            // The template's height includes the open list; closed, the box
            // is as tall as the style wants, within that height.
            rect.setHeight(std::min(rect.height(), combo->sizeHint().height()));
            QObject::connect(combo, &QComboBox::activated, combo, [this, host, id](int index) {
                host->UserSelects(id, index);
                AfterInput(host, id);
            });
            widget = combo;
            break;
        }
        case ControlKind::ListBox:
            widget = MakeListBox(&top, [this, host, id](int index) {
                host->UserSelects(id, index);
                AfterInput(host, id);
            });
            break;
        case ControlKind::Icon: {
            auto* icon = new QLabel(&top);
            icon->setPixmap(ProgramIcon());
            rect.setSize(QSize(kIconSide, kIconSide));
            widget = icon;
            break;
        }
    }

    widget->setGeometry(rect);
    if ((t.style & WS_TABSTOP) == 0 && widget->focusPolicy() != Qt::NoFocus)
        widget->setFocusPolicy(Qt::ClickFocus);
    if (id != IDC_STATIC) widget->setObjectName(QStringLiteral("control%1").arg(id));
    return widget;
}

void QtDialogs::Impl::Refresh(HostView& view, const ControlState& state) {
    // The state is one of the host's controls; its widget sits at the same
    // place (unaddressed statics and group boxes have no id to go by).
    const std::vector<ControlState>& all = view.host->Controls();
    if (all.empty() || &state < all.data() || &state >= all.data() + all.size()) return;
    const std::size_t index = std::size_t(&state - all.data());
    QWidget* widget = index < view.widgets.size() ? view.widgets[index] : nullptr;
    if (widget == nullptr) return;
    const int id = state.tmpl->id;
    ++view.refreshing;
    const QSignalBlocker block(widget);

    bool latin1 = false;
    const QString text = ToQtText(state.text, &latin1);
    if (auto* eliding = dynamic_cast<ElidingLabel*>(widget)) {
        eliding->SetWholeText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (state.tmpl->kind != ControlKind::Icon) label->setText(LinesForDisplay(text));
    } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
        if (line->text() != text) {
            view.latin1[id] = latin1;
            line->setText(text);
        }
        line->setReadOnly(state.readOnly);
        ShowReadOnly(*line, state.readOnly);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        const QString shown = LinesForDisplay(text);
        if (edit->toPlainText() != shown) {
            view.latin1[id] = latin1;
            edit->setPlainText(shown);
        }
        edit->setReadOnly(state.readOnly);
        ShowReadOnly(*edit, state.readOnly);
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->setText(text);
        box->setTristate(state.check == 2);
        box->setCheckState(state.check == 0   ? Qt::Unchecked
                           : state.check == 2 ? Qt::PartiallyChecked
                                              : Qt::Checked);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    } else if (IsListBox(widget)) {
        ShowListItems(widget, state);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        QStringList items;
        for (const ComboItem& item : state.items) items << ToQtText(item.text);
        QStringList shown;
        for (int i = 0; i < combo->count(); ++i) shown << combo->itemText(i);
        if (shown != items) {
            combo->clear();
            combo->addItems(items);
        }
        combo->setCurrentIndex(state.curSel >= 0 && state.curSel < combo->count() ? state.curSel
                                                                                  : -1);
    }
    widget->setEnabled(state.enabled);
    widget->setVisible(state.visible);
    --view.refreshing;
}

void QtDialogs::Impl::RefreshAll(HostView& view) {
    for (const ControlState& state : view.host->Controls()) Refresh(view, state);
}

void QtDialogs::Impl::AfterInput(const ControlHost* host, int id) {
    // A handler may have taken the host off screen (a bar destroyed).
    HostView* live = Find(*host);
    if (live == nullptr) return;
    HostView& view = *live;
    // The input may have changed the control in ways the host does not
    // announce (a click toggles a check box): show the host's state again.
    if (const ControlState* state = view.host->Find(id)) Refresh(view, *state);
    if (view.dialog != nullptr && !view.dialog->IsModalOpen())
        if (auto* dialog = dynamic_cast<TemplateDialog*>(view.top.data()))
            dialog->Finish(view.dialog->ModalResult());
}

void QtDialogs::Impl::Cancel(HostView& view) {
    // Escape and the close box are a click on Cancel. A dialog without a
    // Cancel button still gets the command; a disabled Cancel button keeps
    // the dialog open.
    ControlHost& host = *view.host;
    const ControlState* cancel = host.Find(IDCANCEL);
    if (cancel != nullptr && !cancel->enabled) {
        QApplication::beep();
        return;
    }
    if (cancel != nullptr && cancel->visible)
        host.UserClicks(IDCANCEL);
    else
        host.SendCommand(unsigned(IDCANCEL));
    AfterInput(&host, IDCANCEL);
}

void QtDialogs::Impl::Focus(HostView& view, int id) {
    auto it = view.controls.find(id);
    if (it == view.controls.end()) return;
    it->second->setFocus(Qt::OtherFocusReason);
    // As when tabbing into it, an edit's whole text is selected.
    if (auto* line = qobject_cast<QLineEdit*>(it->second)) line->selectAll();
    if (auto* edit = qobject_cast<QPlainTextEdit*>(it->second)) edit->selectAll();
}

QtDialogs::QtDialogs(QtPlatform& platform) : impl_(std::make_unique<Impl>(platform)) {}

QtDialogs::~QtDialogs() {
    // Bars still on screen go with the role; a modal dialog belongs to the
    // run that shows it.
    for (auto& [host, view] : impl_->hosts)
        if (view->dialog == nullptr && view->top) delete view->top.data();
}

void QtDialogs::ControlChanged(ControlHost& host, int id) {
    Impl::HostView* view = impl_->Find(host);
    if (view == nullptr) return;
    if (id == 0) {
        // The whole bar was shown or hidden. A bar not yet placed in a window
        // is left alone, so that it never shows as a window of its own.
        if (auto* bar = dynamic_cast<CDialogBar*>(&host))
            if (view->top && view->top->parentWidget() != nullptr)
                view->top->setVisible(bar->IsBarVisible());
        return;
    }
    if (const ControlState* state = host.Find(id)) impl_->Refresh(*view, *state);
}

void QtDialogs::SetFocusControl(ControlHost& host, int id) {
    if (Impl::HostView* view = impl_->Find(host))
        impl_->Focus(*view, id);
    else
        impl_->pendingFocus[&host] = id;
}

void QtDialogs::RunModalDialog(CDialog& dialog) {
    if (dialog.Template() == nullptr) return;
    auto owned = std::make_unique<Impl::HostView>();
    Impl::HostView* view = owned.get();
    view->host = &dialog;
    view->dialog = &dialog;
    impl_->hosts[&dialog] = std::move(owned);

    Impl* impl = impl_.get();
    QWidget* owner = OwnerWidget(impl->platform);
    WaitUntilPlaced(owner);
    auto window = std::make_unique<TemplateDialog>(owner, [impl, view] { impl->Cancel(*view); });
    view->top = window.get();
    const DialogTemplate& tmpl = *dialog.Template();
    window->setWindowTitle(ToQtText(tmpl.caption));
    window->setModal(true);
    impl->Build(*view, *window);
    window->setFixedSize(DialogBase::ForFont(window->font()).ToPixels(tmpl.cx, tmpl.cy));
    // Every dialog opens centred on the window it belongs to.
    CentreOn(*window, owner);

    // Enter presses the default button: the template's, else OK. It keeps
    // that role while another button has the focus (after Help in About, or
    // Default in Board Size): no button becomes the default by being
    // clicked or focused.
    for (QPushButton* button : window->findChildren<QPushButton*>()) button->setAutoDefault(false);
    QPushButton* defaultButton = nullptr;
    for (const ControlState& state : dialog.Controls())
        if (state.tmpl->kind == ControlKind::DefPushButton)
            defaultButton = qobject_cast<QPushButton*>(view->controls[state.tmpl->id]);
    if (defaultButton == nullptr)
        defaultButton = qobject_cast<QPushButton*>(ControlWidget(dialog, IDOK));
    if (defaultButton != nullptr) defaultButton->setDefault(true);

    auto pending = impl->pendingFocus.find(&dialog);
    if (pending != impl->pendingFocus.end()) {
        const int id = pending->second;
        impl->pendingFocus.erase(pending);
        QTimer::singleShot(0, window.get(), [impl, view, id] { impl->Focus(*view, id); });
    }

    TemplateDialog* shown = window.get();
    auto* poll = new QTimer(shown);
    poll->setInterval(kEndPollMs);
    QObject::connect(poll, &QTimer::timeout, shown, [&dialog, shown] {
        if (!dialog.IsModalOpen()) shown->Finish(dialog.ModalResult());
    });
    poll->start();

    if (dialog.IsModalOpen()) window->exec();

    // The widgets go before their host's record, so nothing they still
    // signal can reach a record that is gone.
    window.reset();
    impl->hosts.erase(&dialog);
    impl->pendingFocus.erase(&dialog);
}

void QtDialogs::DialogBarCreated(CDialogBar& bar) {
    if (bar.Template() == nullptr) return;
    auto owned = std::make_unique<Impl::HostView>();
    Impl::HostView* view = owned.get();
    view->host = &bar;
    impl_->hosts[&bar] = std::move(owned);

    auto* strip = new QWidget;
    strip->setObjectName(QStringLiteral("dialogBar%1").arg(bar.TemplateId()));
    view->top = strip;
    impl_->Build(*view, *strip);
    const QSize size =
        DialogBase::ForFont(strip->font()).ToPixels(bar.Template()->cx, bar.Template()->cy);
    // The bar may grow with the window's width; its height is the template's.
    strip->setMinimumWidth(size.width());
    strip->setFixedHeight(size.height());
    std::vector<RightEdgeFollower::Stretched> stretched;
    for (std::size_t i = 0; i < bar.Controls().size() && i < view->widgets.size(); ++i) {
        const ControlTemplate& t = *bar.Controls()[i].tmpl;
        QWidget* w = view->widgets[i];
        if (t.x + t.cx >= bar.Template()->cx - kRightEdgeUnits)
            stretched.push_back({w, std::max(0, size.width() - (w->x() + w->width()))});
    }
    new RightEdgeFollower(*strip, std::move(stretched));
    strip->resize(size);
    impl_->platform.PlaceStatusStrip(strip);
    if (strip->parentWidget() != nullptr) strip->setVisible(bar.IsBarVisible());
}

void QtDialogs::DialogBarDestroyed(CDialogBar& bar) {
    auto it = impl_->hosts.find(&bar);
    if (it == impl_->hosts.end()) return;
    QPointer<QWidget> strip = it->second->top;
    impl_->hosts.erase(it);
    impl_->pendingFocus.erase(&bar);
    if (strip) impl_->platform.PlaceStatusStrip(nullptr);
    // Later, not now: the bar may be going away inside one of its own
    // controls' signals.
    if (strip) {
        strip->hide();
        strip->deleteLater();
    }
}

int QtDialogs::MessageBox(const MessageBoxRequest& request) {
    QMessageBox box(OwnerWidget(impl_->platform));
    box.setTextFormat(Qt::PlainText);
    box.setText(ToQtText(request.text));
    box.setWindowTitle(ToQtText(request.caption));
    switch (request.type & kIconMask) {
        case kIconStop:
            box.setIcon(QMessageBox::Critical);
            break;
        case kIconQuestion:
            box.setIcon(QMessageBox::Question);
            break;
        case MB_ICONEXCLAMATION:
            box.setIcon(QMessageBox::Warning);
            break;
        case kIconInformation:
            box.setIcon(QMessageBox::Information);
            break;
        default:
            break;
    }

    struct Choice {
        QMessageBox::StandardButton button;
        int result;
    };
    std::vector<Choice> choices;
    int closed = IDOK;  // the answer when the box is closed without a button
    switch (request.type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
            closed = IDCANCEL;
            break;
        case MB_YESNOCANCEL:
            choices = {{QMessageBox::Yes, IDYES},
                       {QMessageBox::No, IDNO},
                       {QMessageBox::Cancel, IDCANCEL}};
            closed = IDCANCEL;
            break;
        case MB_YESNO:
            choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
            closed = IDNO;
            break;
        default:
            choices = {{QMessageBox::Ok, IDOK}};
            closed = IDOK;
            break;
    }
    QMessageBox::StandardButtons buttons;
    for (const Choice& c : choices) buttons |= c.button;
    box.setStandardButtons(buttons);
    // The first button is the default one.
    box.setDefaultButton(choices.front().button);

    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (const Choice& c : choices)
        if (c.button == pressed) return c.result;
    return closed;
}

std::optional<std::string> QtDialogs::RunFileDialog(const FileDialogRequest& request) {
    QFileDialog dialog(OwnerWidget(impl_->platform));
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (request.open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setWindowTitle(QStringLiteral("Open"));
        dialog.setFileMode((request.flags & OFN_FILEMUSTEXIST) != 0 ? QFileDialog::ExistingFile
                                                                    : QFileDialog::AnyFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setWindowTitle(QStringLiteral("Save As"));
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite,
                         (request.flags & OFN_OVERWRITEPROMPT) == 0);
    }
    // The read-only choice is never offered, so OFN_HIDEREADONLY needs nothing.
    const QStringList filters = NameFiltersFromFilter(request.filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.defaultExt.empty()) {
        QString ext = ToQtText(request.defaultExt);
        while (ext.startsWith(QLatin1Char('.'))) ext.remove(0, 1);
        dialog.setDefaultSuffix(ext);
    }
    if (!request.fileName.empty()) dialog.selectFile(ToQtText(request.fileName));

    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.front().toStdString();
}

QWidget* QtDialogs::ControlWidget(const ControlHost& host, int id) const {
    Impl::HostView* view = impl_->Find(host);
    if (view == nullptr) return nullptr;
    auto it = view->controls.find(id);
    return it == view->controls.end() ? nullptr : it->second;
}

QWidget* QtDialogs::HostWidget(const ControlHost& host) const {
    Impl::HostView* view = impl_->Find(host);
    return view == nullptr ? nullptr : view->top.data();
}

}  // namespace cellarium
