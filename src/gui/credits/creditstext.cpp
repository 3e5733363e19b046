#include "creditstext.h"

#include <QCoreApplication>

QString ColloquaCredits()
{
    return QCoreApplication::translate("Credits",
        "Colloqua\n"
        "Mensageiro de escritório sem servidor para desktops Linux.\n"
        "\n"
        "COORDENAÇÃO DO PROJETO\n"
        "   Engenheiros fundadores do Colloqua\n"
        "\n"
        "GERÊNCIA\n"
        "   Engenheiros fundadores do Colloqua:\n"
        "   planejamento das versões, especificação e revisão.\n"
        "\n"
        "IMPLEMENTAÇÃO\n"
        "   Engenheiros fundadores do Colloqua:\n"
        "   - datagramas de caixa postal sobre UDP e o formato das mensagens;\n"
        "   - configurações, listas de usuários e canais, históricos;\n"
        "   - comunicador, presença, árvore de usuários e grupos;\n"
        "   - bandeja, janelas de mensagens, configurações, backups e créditos;\n"
        "   - o companheiro de terminal colloqua-cli.\n"
        "\n"
        "AGRADECIMENTOS\n"
        "   Ao projeto Qt, que nos dá as janelas, a bandeja, a rede e os testes.\n"
        "   Ao projeto Debian, onde o Colloqua é construído e testado.\n"
        "   Ao GCC, ao Clang e seus sanitizadores, ao CMake, ao Ninja,\n"
        "   ao ccache e ao Git.\n"
        "   Ao ICU, pela página de código Windows-1252.\n"
        "   Ao freedesktop.org, pelas especificações da bandeja, do D-Bus e do XDG.\n"
        "   A todos que mantêm o software livre.\n");
}
