// The Qt back end's command bar: the menu bar, the toolbar and the keys of
// the main window, made from the frame's command bar, and the commands
// chosen through them.
#include "platform/qt/qt_windows.h"
#include "platform/qt/qt_windows_impl.h"

namespace cellarium {

namespace {

void AddMenuItems(QtWindows& windows, QMenu* menu, const std::vector<MenuItem>& items,
                  const std::function<void(QAction*, unsigned)>& prepare,
                  std::vector<QAction*>& all) {
    for (const MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
        } else if (!item.children.empty()) {
            QMenu* sub = menu->addMenu(QString::fromStdString(item.caption));
            AddMenuItems(windows, sub, item.children, prepare, all);
        } else {
            QAction* action = menu->addAction(QString::fromStdString(item.caption));
            action->setData(item.id);
            prepare(action, item.id);
            all.push_back(action);
        }
    }
    // A menu shows each command's state as its update handlers give it
    // when it opens; closed, its actions stay enabled so that their
    // shortcuts reach the command, which checks the state itself.
    QObject::connect(menu, &QMenu::aboutToShow, menu, [menu] {
        CFrameWnd* frame = MainWindow();
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || a->menu() != nullptr || frame == nullptr) continue;
            const CCmdUI ui = frame->QueryCommandState(a->data().toUInt());
            a->setEnabled(ui.m_bEnabled);
            a->setCheckable(ui.m_nCheck != 0);
            a->setChecked(ui.m_nCheck != 0);
            if (!ui.m_strText.empty()) a->setText(QString::fromStdString(ui.m_strText));
        }
    });
    QObject::connect(menu, &QMenu::aboutToHide, menu, [menu] {
        for (QAction* a : menu->actions())
            if (!a->isSeparator() && a->menu() == nullptr) a->setEnabled(true);
    });
    (void)windows;
}

QList<QKeySequence> Sequences(const std::vector<std::string>& keys) {
    QList<QKeySequence> out;
    for (const std::string& k : keys) out.push_back(QKeySequence(QString::fromStdString(k)));
    return out;
}

}  // namespace

void QtWindows::InstallCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) {
    if (impl_->main == nullptr || &frame != impl_->frame) return;
    impl_->mainBar = bar;
    if (!impl_->listShown) ApplyCommandBar(bar);
}

void QtWindows::InstallFileListCommandBar(CFrameWnd& frame, const CommandBarDesc& bar) {
    if (impl_->main == nullptr || &frame != impl_->frame) return;
    impl_->listBar = bar;
    if (impl_->listShown) ApplyCommandBar(bar);
}

void QtWindows::ApplyCommandBar(const CommandBarDesc& bar) {
    Impl& d = *impl_;
    CFrameWnd& frame = *d.frame;
    QMainWindow* main = d.main;
    QMenuBar* menuBar = main->menuBar();
    menuBar->clear();
    d.menuActions.clear();
    for (QAction* a : d.keyActions) {
        main->removeAction(a);
        a->deleteLater();
    }
    d.keyActions.clear();
    if (d.toolbar != nullptr) {
        main->removeToolBar(d.toolbar);
        d.toolbar->deleteLater();
        d.toolbar = nullptr;
    }
    d.toolbarActions.clear();
    d.toolbarChoices.clear();

    std::vector<QList<QKeySequence>> taken;
    auto prepare = [this, &taken](QAction* action, unsigned id) {
        if (const CommandKeys* keys = impl_->Keys(id)) {
            const QList<QKeySequence> seqs = Sequences(keys->keys);
            action->setShortcuts(seqs);
            taken.push_back(seqs);
        }
        QObject::connect(action, &QAction::triggered, &impl_->context,
                         [this, id] { ChooseCommand(id); });
    };
    // A desktop's menu bar when the program has one, else the pocket menu.
    const MenuTemplate* shownMenu = bar.desktopMenu != nullptr ? bar.desktopMenu : bar.menu;
    if (shownMenu != nullptr) {
        for (const MenuItem& top : shownMenu->items) {
            if (top.children.empty()) {
                if (top.separator) continue;
                QAction* a = menuBar->addAction(QString::fromStdString(top.caption));
                a->setData(top.id);
                prepare(a, top.id);
                d.menuActions.push_back(a);
                continue;
            }
            QMenu* menu = menuBar->addMenu(QString::fromStdString(top.caption));
            AddMenuItems(*this, menu, top.children, prepare, d.menuActions);
        }
    }

    if (bar.toolbar != nullptr) {
        d.toolbar = new QToolBar(QStringLiteral("Commands"), main);
        d.toolbar->setMovable(false);
        d.toolbar->setFloatable(false);
        d.toolbar->setIconSize(QSize(kToolIconSize, kToolIconSize));
        d.toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
        for (std::size_t i = 0; i < bar.toolbar->buttons.size(); ++i) {
            const unsigned id = bar.toolbar->buttons[i];
            const CommandKeys* keys = d.Keys(id);
            QAction* a = d.toolbar->addAction(
                DrawToolIcon(keys ? keys->glyph : ToolGlyph::None, kToolIconSize),
                i < bar.tooltips.size() ? QString::fromStdString(bar.tooltips[i]) : QString());
            a->setData(id);
            if (i < bar.tooltips.size()) a->setToolTip(QString::fromStdString(bar.tooltips[i]));
            QObject::connect(a, &QAction::triggered, &d.context, [this, id] { ChooseCommand(id); });
            d.toolbarActions.push_back(a);
        }
        for (const ToolbarChoice& choice : bar.toolbar->choices) {
            auto* combo = new QComboBox(d.toolbar);
            combo->setFocusPolicy(Qt::NoFocus);
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            for (std::size_t i = 0; i < choice.commands.size(); ++i)
                combo->addItem(i < choice.captions.size()
                                   ? QString::fromStdString(choice.captions[i])
                                   : QString(),
                               choice.commands[i]);
            combo->setToolTip(QString::fromStdString(choice.tooltip));
            // Only the user's choice sends a command; the list follows the
            // checked command at the idle-time refresh.
            QObject::connect(combo, &QComboBox::activated, &d.context, [this, combo](int index) {
                if (index >= 0) ChooseCommand(combo->itemData(index).toUInt());
                // Shows what the program took (a refused choice goes back).
                if (CFrameWnd* f = impl_->frame) {
                    f->OnUpdateCmdUI();
                    CommandStatesChanged(*f);
                }
            });
            d.toolbar->addWidget(combo);
            d.toolbarChoices.push_back(combo);
        }
        main->addToolBar(Qt::TopToolBarArea, d.toolbar);
    }

    // Keys for commands the menu does not carry (zoom), the application's
    // accelerators, and the toggles.
    auto isTaken = [&taken](const QKeySequence& seq) {
        for (const QList<QKeySequence>& list : taken)
            if (list.contains(seq)) return true;
        return false;
    };
    auto addKeyAction = [&](const QList<QKeySequence>& seqs, std::function<void()> run) {
        QList<QKeySequence> free;
        for (const QKeySequence& s : seqs)
            if (!isTaken(s)) free.push_back(s);
        if (free.isEmpty()) return;
        taken.push_back(free);
        auto* a = new QAction(main);
        a->setShortcuts(free);
        a->setShortcutContext(Qt::WindowShortcut);
        QObject::connect(a, &QAction::triggered, &d.context, std::move(run));
        main->addAction(a);
        d.keyActions.push_back(a);
    };
    const std::vector<unsigned> inMenu =
        shownMenu ? MenuCommands(*shownMenu) : std::vector<unsigned>{};
    for (const CommandKeys& k : d.look.commands) {
        if (std::find(inMenu.begin(), inMenu.end(), k.id) != inMenu.end()) continue;
        const unsigned id = k.id;
        addKeyAction(Sequences(k.keys), [this, id] { ChooseCommand(id); });
    }
    if (CWinApp* app = TheApp(); app != nullptr && app->Resources() != nullptr) {
        for (const AcceleratorEntry& acc : app->Resources()->accelerators) {
            const unsigned id = acc.command;
            addKeyAction({QKeySequence(QStringLiteral("Ctrl+") + QChar(acc.key))},
                         [this, id] { ChooseCommand(id); });
        }
    }
    for (const CommandLook::Toggle& t : d.look.toggles) {
        const std::vector<unsigned> commands = t.commands;
        addKeyAction({QKeySequence(QString::fromStdString(t.key))}, [this, commands] {
            CFrameWnd* f = cellarium::MainWindow();
            if (f == nullptr) return;
            for (unsigned id : commands)
                if (f->QueryCommandState(id).m_bEnabled) {
                    ChooseCommand(id);
                    return;
                }
        });
    }
    CommandStatesChanged(frame);
}

void QtWindows::CommandStatesChanged(CFrameWnd& frame) {
    Impl& d = *impl_;
    if (&frame != d.frame) return;
    const std::vector<CFrameWnd::ButtonState>& states = frame.ToolbarStates();
    for (QAction* a : d.toolbarActions) {
        const unsigned id = a->data().toUInt();
        for (const CFrameWnd::ButtonState& s : states)
            if (s.id == id) {
                a->setEnabled(s.enabled);
                a->setCheckable(s.check != 0);
                a->setChecked(s.check != 0);
                break;
            }
    }
    for (QComboBox* combo : d.toolbarChoices)
        for (int i = 0; i < combo->count(); ++i) {
            const unsigned id = combo->itemData(i).toUInt();
            const auto s =
                std::find_if(states.begin(), states.end(),
                             [id](const CFrameWnd::ButtonState& b) { return b.id == id; });
            if (s != states.end() && s->check != 0 && combo->currentIndex() != i)
                combo->setCurrentIndex(i);
        }
}

bool QtWindows::ChooseCommand(unsigned id) {
    CFrameWnd* frame = cellarium::MainWindow();
    if (id == 0 || frame == nullptr || !impl_->delivering) return false;
    if (!frame->QueryCommandState(id).m_bEnabled) return false;
    NoteActivity();
    frame->SendCommand(id);
    return true;
}

}  // namespace cellarium
