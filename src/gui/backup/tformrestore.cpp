#include "tformrestore.h"

#include "backupnames.h"
#include "backupstore.h"
#include "communicatorsession.h"
#include "prompter.h"
#include "station.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "tformcopy.h"

#include <QDir>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <optional>

namespace
{
const QString Titulo = QStringLiteral("Colloqua");
}

TFormRestore::TFormRestore(Station& station, QWidget* parent)
    : QDialog(parent)
    , m_station(station)
{
    setWindowTitle(tr("Restaurar backup"));
    resize(404, 352);
    m_listBox = new QListWidget(this);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::TypeWriter);
    courier.setFixedPitch(true);
    courier.setPixelSize(13);
    m_listBox->setFont(courier);
    m_listBox->setSelectionMode(QAbstractItemView::SingleSelection);
    // Key preview: the Delete key reaches the dialog before the list.
    m_listBox->installEventFilter(this);
    // Queued: the rename reloads the list, which must not happen under the list's own click.
    connect(
        m_listBox, &QListWidget::itemDoubleClicked, this, [this] { RenomearSelecionado(); }, Qt::QueuedConnection);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    m_butRestaurar = new QPushButton(tr("&Restaurar"), this);
    m_butRestaurar->setAutoDefault(false);
    connect(m_butRestaurar, &QPushButton::clicked, this, &TFormRestore::ButRestaurarClick);
    m_butCancela = new QPushButton(tr("&Cancelar"), this);
    m_butCancela->setAutoDefault(false);
    connect(m_butCancela, &QPushButton::clicked, this, &TFormRestore::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_butRestaurar);
    buttons->addWidget(m_butCancela);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_listBox, 1);
    layout->addWidget(divider);
    layout->addLayout(buttons);
}

TFormRestore::~TFormRestore() = default;

void TFormRestore::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    CarregaDirBackups();
    if (m_listBox->count() > 0)
        m_listBox->setCurrentRow(m_listBox->count() - 1);
}

void TFormRestore::CarregaDirBackups()
{
    m_listBox->clear();
    m_listBox->addItems(BackupStore::ListBackups(m_dirBase));
}

QString TFormRestore::selectedName() const
{
    const QListWidgetItem* item = m_listBox->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void TFormRestore::ButRestaurarClick()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    if (!m_station.prompter().confirm(Prompter::Kind::Confirmation, Titulo,
            tr("Confirma restauração dos arquivos apartir do Backup selecionado\n%1").arg(name)))
        return;
    // A session writes its tree over the file at every presence frame and at logoff, so the
    // restored tree would not last: log off first, and back on with the restored files.
    TFormCom& com = m_station.FormCom();
    const bool wasLoggedOn = com.session().holdsTree();
    const QString user = com.UsuarioAtual();
    const QString channel = com.CanalAtual();
    const QString status = com.StatusAtual();
    if (wasLoggedOn)
        com.Desconectar();
    // The data directory may have gone since the dialog opened; the copy needs it.
    QDir().mkpath(m_dirDados);
    m_station.FormCopy().Copiar(m_dirBase + name, m_dirDados, tr("Restaurando..."));
    if (wasLoggedOn)
        com.Conectar(user, channel, status);
    accept();
}

void TFormRestore::ExcluirSelecionado()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    if (!m_station.prompter().confirm(Prompter::Kind::Confirmation, Titulo,
            tr("Confirma a deleção dos arquivos de Backup selecionado\n%1").arg(name)))
        return;
    // A directory that keeps a subdirectory stays, and stays listed: no message either way.
    BackupStore::DeleteBackup(m_station.FormComTools().OrbFindFile1(), m_dirBase + name);
    CarregaDirBackups();
}

void TFormRestore::RenomearSelecionado()
{
    const QString name = selectedName();
    if (name.isEmpty())
        return;
    const std::optional<QString> answer
        = m_station.prompter().askText(tr("Renomear"), tr("Renomear backup"), name.mid(3));
    if (!answer)
        return;
    // The new name must stay a backup beside the others.
    if (const QString refusal = BackupNames::Refusal(*answer); !refusal.isEmpty()) {
        m_station.prompter().message(Prompter::Kind::Warning, Titulo, refusal);
        return;
    }
    if (BackupStore::RenameBackup(m_dirBase, name, *answer))
        CarregaDirBackups();
}

void TFormRestore::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        ExcluirSelecionado();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFormRestore::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listBox && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            ExcluirSelecionado();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
