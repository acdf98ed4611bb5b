#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <string>

namespace luttest {

// Files written into a folder of their own that goes with the test.
struct CubeDir {
    QTemporaryDir dir;

    QString path(const QString& name) const { return dir.filePath(name); }

    QString write(const QString& name, const std::string& text) const
    {
        const QString p = path(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << p.toStdString();
        f.write(text.data(), static_cast<qint64>(text.size()));
        return p;
    }
};

// Rows of an identity 3D table of size n, first component fastest.
inline std::string identityRows(int n)
{
    std::string rows;
    for (int b = 0; b < n; ++b)
        for (int g = 0; g < n; ++g)
            for (int r = 0; r < n; ++r)
                rows += std::to_string(double(r) / (n - 1)) + " " + std::to_string(double(g) / (n - 1)) + " "
                    + std::to_string(double(b) / (n - 1)) + "\n";
    return rows;
}

inline std::string identityCube(int n)
{
    return "LUT_3D_SIZE " + std::to_string(n) + "\n" + identityRows(n);
}

} // namespace luttest
