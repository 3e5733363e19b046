#pragma once

#include <QCoreApplication>
#include <QHostAddress>
#include <QList>
#include <QString>

// Two machines heard speaking under one computer name. Replies and messages for that name
// then reach whichever spoke last, so the user is told, once per name and run.
struct DuplicateName
{
    Q_DECLARE_TR_FUNCTIONS(DuplicateName)

public:
    QString name; // as on the wire: upper case, at most 15 characters
    // With `ownName`, this station's address first and then the other machine's; otherwise
    // the address heard before and the one heard now.
    QList<QHostAddress> addresses;
    bool ownName = false;

    // What the user is told, with the remedy.
    QString notice() const;
};
