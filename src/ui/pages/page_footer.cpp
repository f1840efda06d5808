#include "page_footer.h"

#include <QCheckBox>
#include <QPlainTextEdit>

#include "ctw_doc.h"

PageFooter::PageFooter(CProjectView* view, QWidget* parent)
    : TextSwitchPage(view, tr("Add &footer, paragraph size :"),
                     {&CtwDoc::FooterText, &CtwDoc::SetFooterText, &CtwDoc::FooterSize, &CtwDoc::SetFooterSize,
                      &CtwDoc::FooterClass, &CtwDoc::SetFooterClass},
                     parent) {
    Switch()->setToolTip(tr("Print the footer after each result set"));
    TextField()->setToolTip(tr("Footer text"));
}
