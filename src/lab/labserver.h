#pragma once

#include <QSqlQuery>
#include <QString>

// What the lab's readers share: their connections to the server and the
// reading of a chunk's text as the server stores it (see serverschema.h).
namespace labserver {

// Opens a connection of its own, for the calling thread, to the server the
// libpq URI `uri` names, and checks that the server's layout is one this
// program reads. Returns the connection's name, or an empty name and a
// user-facing message (no password in it) in `error`.
QString Connect(const QString& uri, const char* role, QString* error);
// Closes and forgets a connection Connect made.
void Close(const QString& connection);

// The columns a chunk's text is selected as, and how many they are.
inline constexpr char kTextColumns[] = "text, text_escaped";
inline constexpr int kTextColumnCount = 2;
// The chunk text from the kTextColumns selected from column `first` on.
QString TextFrom(const QSqlQuery& q, int first);

}  // namespace labserver
