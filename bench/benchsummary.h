#pragma once

#include <QString>

#include <cstdio>

// One line of the summary table scripts/bench.sh gathers from every benchmark's output:
// what was measured, the floor it is set against and their ratio ("-" where there is none).
inline void printSummary(const char* benchmark, const QString& figure, const QString& measured,
    const QString& floor = QStringLiteral("-"), const QString& ratio = QStringLiteral("-"))
{
    std::printf("summary|%s|%s|%s|%s|%s\n", benchmark, qPrintable(figure), qPrintable(measured), qPrintable(floor),
        qPrintable(ratio));
}

inline QString milliseconds(double ms, int decimals = 1)
{
    return QString::number(ms, 'f', decimals) + QStringLiteral(" ms");
}

inline QString ratioOf(double measured, double floor)
{
    return measured < 0 || floor <= 0 ? QStringLiteral("-") : QString::number(measured / floor, 'f', 2);
}
