// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppContext.h"

#include "app/TextFormat.h"

QString clean_comment_text(const AppContext& ctx, const QString& text)
{
    QString result = TextFormat::trimSpaces(text);
    if (!ctx.strGlobalFieldDelimiter.isEmpty())
        result.replace(ctx.strGlobalFieldDelimiter, QStringLiteral(" "));
    if (!ctx.strGlobalEndOfLine.isEmpty())
        result.replace(ctx.strGlobalEndOfLine, QStringLiteral(" "));
    return result;
}
