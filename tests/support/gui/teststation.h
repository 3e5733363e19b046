#pragma once

// A station for the window tests, made by StationBuilder: its own temporary home, prompts
// answered from queues, a silent tray and sound, recorded documents, and either an in-memory
// network or UDP on a loopback address of its own.

#include "communicatorsession.h"
#include "documentopener.h"
#include "fakemailslotbackend.h"
#include "loopback.h"
#include "prompter.h"
#include "queuedprompter.h"
#include "settings.h"
#include "soundplayer.h"
#include "station.h"
#include "stationbuilder.h"
#include "talmailslot.h"
#include "temphome.h"
#include "tformcom.h"
#include "tformcomtools.h"
#include "trayhost.h"
#include "usertree.h"
#include "usertreefile.h"

#include <QHostAddress>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

// Answers from a QueuedPrompter, and lets a test look at the station while a prompt is open.
class ProbingPrompter final : public Prompter
{
public:
    void message(Kind kind, const QString& title, const QString& text) override
    {
        probe();
        m_queued.message(kind, title, text);
    }
    using Prompter::confirm;

    bool confirm(Kind kind, const QString& title, const QString& text) override
    {
        probe();
        return m_queued.confirm(kind, title, text);
    }
    std::optional<QString> askText(const QString& title, const QString& label, const QString& initial) override
    {
        probe();
        return m_queued.askText(title, label, initial);
    }
    std::optional<QString> chooseFile(const QString& title, const QString& directory, const QString& filter) override
    {
        probe();
        return m_queued.chooseFile(title, directory, filter);
    }

    QueuedPrompter& queued() { return m_queued; }
    // Called at every prompt, before it is answered.
    std::function<void()> onPrompt;

private:
    void probe()
    {
        if (onPrompt)
            onPrompt();
    }

    QueuedPrompter m_queued;
};

class TestStation
{
public:
    // UDP on a fresh loopback address, broadcasts on the loopback network only; `clock` (not
    // owned) stands for the wall clock when given.
    explicit TestStation(const QString& computer, const Clock* clock = nullptr)
        : m_address(Loopback::nextAddress())
        , m_builder(m_home.path(), computer, m_prompter)
    {
        Loopback::writeNetwork(m_home.home(), m_address, Loopback::testPort());
        create(m_builder.clock(clock));
    }

    // An in-memory network; nothing leaves the process.
    TestStation(const QString& computer, FakeMailslotNetwork& network)
        : m_builder(m_home.path(), computer, m_prompter)
    {
        create(m_builder.backend(network.attach(computer)));
    }

    TestStation(const TestStation&) = delete;
    TestStation& operator=(const TestStation&) = delete;

    Station& station() const { return m_builder.station(); }
    TFormCom& com() const { return station().FormCom(); }
    TFormComTools& tools() const { return station().FormComTools(); }
    CommunicatorSession& session() const { return com().session(); }
    ProbingPrompter& prompter() { return m_prompter; }
    QueuedPrompter& queued() { return m_prompter.queued(); }
    NullTrayHost& tray() const { return m_builder.tray(); }
    RecordingDocumentOpener& opener() const { return m_builder.opener(); }
    RecordingSoundPlayer& sound() const { return m_builder.sound(); }
    const TempHome& home() const { return m_home; }
    QString installDir() const { return m_builder.installDir(); }
    const QHostAddress& address() const { return m_address; }

    void setting(const QString& section, const QString& key, int type, const SettingValue& value) const
    {
        Settings(m_home.home()).WriteSetting(section, key, type, value);
    }
    SettingValue readSetting(const QString& section, const QString& key, int type) const
    {
        SettingValue value;
        Settings(m_home.home()).ReadSetting(section, key, SettingValue(), type, value);
        return value;
    }

    // The tree file as a list of its lines (TABs kept).
    QStringList treeFileLines() const
    {
        const QByteArray bytes = m_home.read(QStringLiteral("Dados/ArvUsuarios.tv"));
        QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // Texts of the visible tree's items, depth first, a TAB per level.
    QStringList treeItems() const;

private:
    void create(StationBuilder& builder)
    {
        m_home.home().ensureDataDir();
        // Quick hand-overs keep the tests short; the rules do not depend on the rhythm.
        builder.checkInterval(20).build();
    }

    TempHome m_home;
    QHostAddress m_address;
    ProbingPrompter m_prompter;
    StationBuilder m_builder;
};

#include "usertreewidget.h"

inline QStringList TestStation::treeItems() const
{
    QStringList texts;
    const std::function<void(const QTreeWidgetItem*, int)> walk = [&](const QTreeWidgetItem* item, int depth) {
        texts.append(QString(depth, QLatin1Char('\t')) + item->text(0));
        for (int row = 0; row < item->childCount(); ++row)
            walk(item->child(row), depth + 1);
    };
    const UserTreeWidget* tree = com().TreeView();
    for (int row = 0; row < tree->topLevelItemCount(); ++row)
        walk(tree->topLevelItem(row), 0);
    return texts;
}
