#include "duplicatename.h"

#include <QStringList>

QString DuplicateName::notice() const
{
    QStringList texts;
    for (const QHostAddress& address : addresses)
        texts.append(address.toString());
    const QString computer = name.toLower();
    if (ownName) {
        return tr("Outro computador da rede, no endereço %2, usa o mesmo nome deste computador (%1, endereço %3). "
                  "Respostas e mensagens para %1 podem chegar ao computador errado.\r\rDê a cada computador um "
                  "nome próprio: defina COMPUTADOR na seção REDE do arquivo colloqua.ini (ou use --computer) e "
                  "reinicie o Colloqua.")
            .arg(computer, texts.value(1), texts.value(0));
    }
    return tr("Dois computadores da rede usam o mesmo nome, %1: os endereços %2 e %3. Respostas e mensagens para %1 "
              "podem chegar ao computador errado.\r\rEm um deles, defina outro nome em COMPUTADOR na seção REDE do "
              "arquivo colloqua.ini (ou use --computer) e reinicie o Colloqua.")
        .arg(computer, texts.value(0), texts.value(1));
}
