#pragma once
// The Converters page: the project's converters, each rewriting every value of one column, with a live example.

#include "converter.h"
#include "white_dialog_with_props.h"

class QLabel;

class PageConverter : public WhiteDialogWithProps {
    Q_OBJECT
  public:
    explicit PageConverter(CProjectView* view, QWidget* parent = nullptr);
    void LoadFromProject(CtwDoc& project) override;

    QLineEdit* PrefixField() const { return m_prefix; }
    QLineEdit* SuffixField() const { return m_suffix; }
    QLineEdit* WidthField() const { return m_width; }
    QLineEdit* PrecisionField() const { return m_precision; }
    QCheckBox* GroupBox() const { return m_group; }
    QLineEdit* DateFromField() const { return m_dateFrom; }
    QLineEdit* DateToField() const { return m_dateTo; }
    QLineEdit* RegexFromField() const { return m_regexFrom; }
    QLineEdit* RegexToField() const { return m_regexTo; }
    // The matcher's message under the expression field; empty while the expression is valid.
    QString RegexMessage() const;
    QLineEdit* SampleField() const { return m_sample; }
    QString SampleResult() const;

  protected:
    int RuleCount(const CtwDoc& project) const override;
    void ShowRule(const CtwDoc& project, int position) override;
    void AddRule(CtwDoc& project) override;
    void SaveRule(CtwDoc& project, int position) override;
    void RemoveRule(CtwDoc& project, int position) override;

  private:
    Converter Build() const;
    // False (with the matcher's message) when the expression field holds an invalid expression.
    bool CheckRegex();
    void UpdateExample();

    QLineEdit* m_prefix;
    QLineEdit* m_suffix;
    QLineEdit* m_width;
    QLineEdit* m_precision;
    QCheckBox* m_group;
    QLineEdit* m_dateFrom;
    QLineEdit* m_dateTo;
    QLineEdit* m_regexFrom;
    QLineEdit* m_regexTo;
    QLabel* m_regexMessage;
    QLineEdit* m_sample;
    QLabel* m_sampleResult;
};
