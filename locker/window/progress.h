#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;

// How far a cipher run is, in the window's free area: a bar by bytes and a line such as
// "120 of 1,000 files". Shown only while a run outlasts the ticks given to it.
class RunProgress : public QWidget {
    Q_OBJECT
public:
    struct Counts {
        qint64 filesDone = 0;
        qint64 filesTotal = 0;
        qint64 bytesDone = 0;
        qint64 bytesTotal = 0;
    };

    explicit RunProgress(QWidget *parent);

    void showCounts(const Counts &counts);
    // Before the run has told how far it is: the bar only shows that it is at work.
    void showWorking();

    QProgressBar *bar;
    QLabel *text;

private:
    // The quarter of the run last told to a screen reader, which hears the count at the start
    // and at every quarter rather than at every tick.
    int m_toldQuarter = -1;
};
