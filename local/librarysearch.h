#pragma once
// Searching the local library: words typed by the user against the records of
// the index (never the files). Every word must be found, letter case aside, in a
// player's name, the map, the game name or the chat. A race word ("人族", "兽族",
// "暗夜精灵", "不死族" or "不死", "随机") is also found when a player plays that
// race; the letters H, O, N, U and R stand only for the races. "人族 VS 兽族" (or
// "H vs O", "人族VS兽族") finds games where one team has the first race and another
// team the second.
#include "local/replayrecord.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the search box says for the local library: its words are not the site's
// (no "UD", "at LostTemple" or "win"), so it has a help of its own. CR LF like
// the site search's help.
inline const QString kLibrarySearchHelp = QStringLiteral(
    "搜索本地录像：\r\n"
    "可输入玩家名、地图名、游戏名称或聊天内容，多个关键字用空格分开，录像须含有每个关键字（不分大小写）。\r\n"
    "种族可输入 人族、兽族、暗夜精灵、不死族、随机，或 H、O、N、U、R。\r\n"
    "对阵可输入 人族 VS 兽族。\r\n"
    "范例：Moon TwistedMeadows 人族 VS 暗夜精灵");

struct LibrarySearch {
    struct Word {
        QString text;
        QChar race;  // the race it names, or null
    };
    QList<Word> words;
    QList<QPair<QChar, QChar>> matchups; // race letters of the two sides
    bool empty() const { return words.isEmpty() && matchups.isEmpty(); }
};

LibrarySearch ParseLibrarySearch(const QString &input);

// The race letter a word names ("人族", "h", "H" -> 'H'), or a null QChar.
QChar RaceOfWord(const QString &word);

bool MatchesLibrarySearch(const ReplayRecord &record, const LibrarySearch &search);
