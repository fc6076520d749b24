#pragma once
// A small preferences framework: a tree of page captions on the left, the selected page on the
// right under a caption strip, OK/Cancel. Pages are built on their first showing; OK validates and
// commits every built page, and pages never opened keep the values they were given.

#include <QCoreApplication>
#include <QDialog>
#include <QWidget>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

class CSAPrefsSubDlg : public QWidget {
public:
    explicit CSAPrefsSubDlg(QWidget* parent = nullptr) : QWidget(parent) {}
    bool IsCreated() const { return m_bCreated; }

    // Builds the controls and fills them from the page's members (first showing only).
    virtual void OnInitDialog() {}
    // Checks the controls' data; false keeps the dialog open on this page.
    virtual bool Validate() { return true; }
    // Commits the controls into the page's members.
    virtual void OnOK() {}
    virtual void OnCancel() {}
    // May the dialog close after this page's OnOK.
    virtual bool IsClose() { return true; }

private:
    friend class CSAPrefsDialog;
    bool m_bCreated = false;
};

class CSAPrefsDialog : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(CSAPrefsDialog)
public:
    explicit CSAPrefsDialog(QWidget* parent = nullptr);

    // Registers a page (not owned) under parent, or at the top; refused once the dialog shows.
    bool AddPage(CSAPrefsSubDlg& page, const QString& caption, CSAPrefsSubDlg* parent = nullptr);
    bool ShowPage(int index);
    bool ShowPage(CSAPrefsSubDlg* page);
    int CurrentPage() const { return m_iCurPage; }
    QString CaptionText() const;
    QTreeWidget* Tree() const { return m_pTree; }
    // Validates and commits every built page; true when the dialog may close.
    bool EndOK();

    void accept() override;
    void reject() override;

    QString m_strTitle; // the window's caption: "Конфигурация" unless the owner sets another
    QString m_strConstantText;
    CSAPrefsSubDlg* m_pStartPage = nullptr;
    bool m_bValidateBeforeChangingPages = false;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    struct SPrefsPage {
        CSAPrefsSubDlg* pSubDlg;
        CSAPrefsSubDlg* pParentDlg;
        QString strCaption;
        QTreeWidgetItem* pItem = nullptr;
    };
    void OnInitDialog();
    void OnChangePage(int index);

    std::vector<SPrefsPage> m_pages;
    int m_iCurPage = -1;
    bool m_bInitialised = false;
    QTreeWidget* m_pTree;
    QLabel* m_pCaption;
    QWidget* m_pFrame;
};
