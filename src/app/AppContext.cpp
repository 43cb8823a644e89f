// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppContext.h"

#include "app/TextFormat.h"

QString clean_comment_text(const AppContext& ctx, const QString& text)
{
    const QString& delimiter = ctx.strGlobalFieldDelimiter;
    const QString& endOfLine = ctx.strGlobalEndOfLine;
    return TextFormat::unquotedField(TextFormat::trimSpaces(text), delimiter, endOfLine,
                                     TextFormat::standInFor(delimiter, endOfLine, u" _~#"));
}
