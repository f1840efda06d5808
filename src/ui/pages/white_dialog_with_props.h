#pragma once
// The base of the three rule pages (markers, properties, converters): the rule list with its add, remove and
// save buttons, the column box with the loading of column names from the script, and the style controls.

#include <QStringList>
#include <QPointer>
#include <QThread>
#include <memory>

#include "project_page.h"
#include "rule_style.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeWidget;

class WhiteDialogWithProps : public ProjectPage {
    Q_OBJECT
  public:
    WhiteDialogWithProps(CProjectView* view, QWidget* parent = nullptr);
    ~WhiteDialogWithProps() override;

    // Shows the page, refills its list, and offers the result columns of the last run in the column boxes.
    void Activate() override;
    // Every change reaches the project when it is made: nothing is left to write.
    void SaveToProject(CtwDoc&) override {}

    // The position of the rule shown in the controls; -1 before any selection.
    int Selected() const { return m_selected; }
    // Selects row (and shows its rule); -1 clears the selection.
    void SelectRow(int row);
    // Starts loading the column names by running the script; the boxes fill when it ends.
    void LoadColumns();
    // Stops a running load (its boxes stay empty); safe when none runs.
    void StopLoadingColumns();
    bool IsLoadingColumns() const { return m_loader != nullptr; }

    // The shared controls, for the pages and for tests.
    QTreeWidget* List() const { return m_list; }
    QToolButton* AddButton() const { return m_add; }
    QToolButton* RemoveButton() const { return m_remove; }
    QToolButton* SaveButton() const { return m_save; }
    QToolButton* LoadColumnsButton() const { return m_loadColumns; }
    QComboBox* ColumnBox() const { return m_column; }
    QComboBox* FontColorBox() const { return m_fontColor; }
    QComboBox* BackgroundBox() const { return m_background; }
    QComboBox* FontSizeList() const { return m_fontSize; }
    QComboBox* AlignList() const { return m_align; }
    QCheckBox* BoldBox() const { return m_bold; }
    QCheckBox* ItalicBox() const { return m_italic; }
    QLineEdit* CssClassField() const { return m_cssClass; }

  signals:
    // A column load has ended (filled the boxes, failed with its message, or was stopped).
    void columnsLoaded(bool succeeded);

  protected:
    // The page's own part of the rule protocol; positions are those of the project's list.
    virtual int RuleCount(const CtwDoc& project) const = 0;
    virtual void ShowRule(const CtwDoc& project, int position) = 0;
    virtual void AddRule(CtwDoc& project) = 0;
    virtual void SaveRule(CtwDoc& project, int position) = 0;
    virtual void RemoveRule(CtwDoc& project, int position) = 0;
    // The second box that loading also fills (the markers' condition column box); null when none.
    virtual QComboBox* SecondColumnBox() const { return nullptr; }

    // The upper part shared by the pages: the list with its buttons beside the page's own controls (right).
    void BuildFrame(const QStringList& listColumns, const QList<int>& widths, const QString& addTip,
                    const QString& removeTip, const QString& saveTip, QWidget* right);
    // The style group with its labels (the markers' " View Options ", the properties' " Properties ").
    QGroupBox* BuildStyleGroup(const QString& title);
    RuleStyle ReadStyle() const;
    void ShowStyle(const RuleStyle& style);
    // Selects text in box, adding it as an entry first when the box lacks it.
    static void SelectText(QComboBox* box, const QString& text);
    // A row of the rule list with the given texts, appended.
    void AppendRow(const QStringList& texts);
    void SetRowTexts(int row, const QStringList& texts);
    // The message for adding a second rule for a column; false (after it) when position is a rule.
    bool RefuseDuplicate(const std::wstring& column, int position);

    QLabel* m_columnLabel = nullptr;

  private:
    void OnSelectionChanged();
    void OnAdd();
    void OnRemove();
    void OnSave();
    void OnLoaderFinished();
    void FillColumnBoxes(const QStringList& names, bool selectFirst);
    QWidget* ColorControl(QComboBox*& box);
    void PickColor(QComboBox* box);

    QTreeWidget* m_list = nullptr;
    QToolButton* m_add = nullptr;
    QToolButton* m_remove = nullptr;
    QToolButton* m_save = nullptr;
    QToolButton* m_loadColumns = nullptr;
    QComboBox* m_column = nullptr;
    QComboBox* m_fontColor = nullptr;
    QComboBox* m_background = nullptr;
    QComboBox* m_fontSize = nullptr;
    QComboBox* m_align = nullptr;
    QCheckBox* m_bold = nullptr;
    QCheckBox* m_italic = nullptr;
    QLineEdit* m_cssClass = nullptr;
    int m_selected = -1;

    // The running column load: its thread and what it found (written by the thread before it finishes).
    struct LoadOutcome;
    QPointer<QThread> m_loader;
    std::shared_ptr<LoadOutcome> m_outcome;
    bool m_boxHadText = false;
};
