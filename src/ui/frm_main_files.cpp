// frmMain: the shortcuts of the working day (Ctrl+O open, F5 download, Esc stop), program files
// dropped on the window, and the recent program files.

#include "ui/frm_main.h"

#include "device/workbench.h"
#include "image/file_loader.h"
#include "base/user_dialogs.h"
#include "settings/recent_files.h"
#include "settings/settings_store.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>

namespace {

// The one local program file (.hex, .ihx or .bin) a drag carries, or empty.
QString dropped_program_file(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1 || !mime->urls().first().isLocalFile())
        return {};
    const QString path = mime->urls().first().toLocalFile();
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("hex") && suffix != QLatin1String("ihx") && suffix != QLatin1String("bin"))
        return {};
    return path;
}

} // namespace

void frmMain::bind_shortcuts_and_files()
{
    // A shortcut presses its button only while the button could be clicked.
    auto shortcut = [this](const QKeySequence& keys, QPushButton* button) {
        auto* s = new QShortcut(keys, this);
        connect(s, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_O), comLoadFile);
    shortcut(QKeySequence(Qt::Key_F5), comDownload[0]);
    shortcut(QKeySequence(Qt::Key_Escape), comStop_Download);
    comLoadFile->setToolTip(QStringLiteral("Open a .hex, .ihx or .bin file / 打开程序文件 (Ctrl+O)"));
    comDownload[0]->setToolTip(QStringLiteral("Download, then power the MCU on / 下载, 然后给单片机上电 (F5)"));
    comStop_Download->setToolTip(QStringLiteral("Stop / 停止 (Esc)"));

    setAcceptDrops(true);
    auto* menu = new QMenu(comRecentFiles);
    comRecentFiles->setMenu(menu);
    connect(menu, &QMenu::aboutToShow, this, &frmMain::fill_recent_menu);
    connect(comLoadFile, &QPushButton::clicked, this, [this] {
        loader_->load_file();
        remember_program_file();
    });
}

QStringList frmMain::recent_files() const
{
    return RecentFiles(*settings_).list();
}

void frmMain::fill_recent_menu()
{
    QMenu* menu = comRecentFiles->menu();
    menu->clear();
    const QStringList paths = recent_files();
    if (paths.isEmpty()) {
        menu->addAction(QStringLiteral("(no recent files / 没有最近的文件)"))->setEnabled(false);
        return;
    }
    for (int i = 0; i < paths.size(); ++i) {
        const QString path = paths.at(i);
        menu->addAction(QStringLiteral("&%1  %2").arg(i + 1).arg(path), this, [this, path] { open_program_path(path); });
    }
}

void frmMain::open_program_path(const QString& path)
{
    if (!comLoadFile->isEnabled())
        return;
    if (!QFileInfo(path).isFile()) {
        RecentFiles(*settings_).remove(path);
        dialogs_->message_box(FileLoader::kMsgCannotFind);
        return;
    }
    // As Open File after its dialog: the remembered path, the caption, then the load.
    settings_->set_file_path(path);
    loader_->restore_program_file();
    if (wb_->image.file_path != path)
        return;
    loader_->open_into_buffer();
    remember_program_file();
}

void frmMain::remember_program_file()
{
    const ProgramImage& image = wb_->image;
    if (loader_->last_load_ok && image.file_loaded && !image.file_path.isEmpty())
        RecentFiles(*settings_).add(image.file_path);
    update_status_bar();
}

void frmMain::dragEnterEvent(QDragEnterEvent* event)
{
    if (comLoadFile->isEnabled() && !dropped_program_file(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void frmMain::dropEvent(QDropEvent* event)
{
    const QString path = dropped_program_file(event->mimeData());
    if (path.isEmpty() || !comLoadFile->isEnabled())
        return;
    event->acceptProposedAction();
    // Loaded once the drag has ended: the load may ask or warn in a message box.
    QMetaObject::invokeMethod(this, [this, path] { open_program_path(path); }, Qt::QueuedConnection);
}
