// Ed25519 key pairs of the tests only: the program's own key comes from the
// build. Files signed with the first are trusted by the test updaters.
#pragma once

#include <QByteArray>

inline QByteArray TestSeed()
{
    return QByteArray::fromHex("f93934054d3be4dc2f44c882d9940ce310688da369ba29956a1d79a0a5dcfd72");
}
inline QByteArray TestPublicKey()
{
    return QByteArray::fromHex("355deda516138b4a9c50bfc1adb929de0cf682a7ccef9b62ad59fec1b4072c93");
}
inline QByteArray OtherSeed()
{
    return QByteArray::fromHex("48774eb446065b93e6082faef41f7e0c67deeb0d1737bcdf5439622b7c127fba");
}
