// The question before an upgrade: a topmost modal window with the release
// message and the buttons to upgrade now or later.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

class TupUpdaterQuestionForm : public QDialog {
    Q_OBJECT
public:
    explicit TupUpdaterQuestionForm(QWidget* parent = nullptr);
    ~TupUpdaterQuestionForm() override;

    // Fills texts and height for Message; the window is not shown yet.
    void Prepare(const QString& appTitle, const QString& message);
    // The one window of the process, or null.
    static TupUpdaterQuestionForm* Instance();
    // Shows the question modally; true when closed with the upgrade button.
    static bool ShowUpgradeQuestion(const QString& appTitle, const QString& message);

    QLabel* Label1;
    QLabel* Icon;
    QWidget* BottomPanel;
    QPushButton* YesBtn;
    QPushButton* LaterBtn;
};
