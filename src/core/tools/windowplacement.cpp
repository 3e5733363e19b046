#include "windowplacement.h"

#include "settings.h"

namespace
{
const QString Posicao = QStringLiteral("POSICAO");

struct Keys
{
    const char* prefix;
    WindowPlacement defaults;
};

Keys keysOf(WindowPlacement::Window window)
{
    switch (window) {
    case WindowPlacement::Window::Send:
        return { "WNDSEND_", { 20, 20, 334, 239 } };
    case WindowPlacement::Window::History:
        return { "WNDHIST_", { 30, 30, 554, 267 } };
    case WindowPlacement::Window::Communicator:
        break;
    }
    return { "WNDCOM_", { 10, 10, 190, 346 } };
}
} // namespace

WindowPlacement WindowPlacement::read(const Settings& settings, Window window)
{
    const Keys keys = keysOf(window);
    const QString prefix = QLatin1String(keys.prefix);
    WindowPlacement placement;
    placement.top = settings.readInt(Posicao, prefix + QStringLiteral("TOP"), keys.defaults.top, 0);
    placement.left = settings.readInt(Posicao, prefix + QStringLiteral("LEFT"), keys.defaults.left, 0);
    placement.width = settings.readInt(Posicao, prefix + QStringLiteral("WIDTH"), keys.defaults.width, 0);
    placement.height = settings.readInt(Posicao, prefix + QStringLiteral("HEIGHT"), keys.defaults.height, 0);
    return placement;
}

void WindowPlacement::write(Settings& settings, Window window) const
{
    const QString prefix = QLatin1String(keysOf(window).prefix);
    settings.WriteSetting(Posicao, prefix + QStringLiteral("TOP"), SettingInteger, top);
    settings.WriteSetting(Posicao, prefix + QStringLiteral("LEFT"), SettingInteger, left);
    settings.WriteSetting(Posicao, prefix + QStringLiteral("WIDTH"), SettingInteger, width);
    settings.WriteSetting(Posicao, prefix + QStringLiteral("HEIGHT"), SettingInteger, height);
}

WindowPlacement WindowPlacement::of(QPoint position, QSize size)
{
    return { position.y(), position.x(), size.width(), size.height() };
}
