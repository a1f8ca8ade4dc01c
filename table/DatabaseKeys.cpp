// Finding the keys of a database's tables in its container and indexes.

#include "table/DatabaseKeys.h"

#include "framework/AnsiText.h"
#include "framework/CodePage.h"
#include "table/mDBase.h"

#include <algorithm>

namespace {

std::string_view Trimmed(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// The field a name in a key expression stands for, in any letter case: the
// one whose long name it is, or else the one whose stored name it is (a long
// name passing 10 characters is stored cut, and the index is written with
// the long one). -1 when none. `longNames` is empty when the table has none.
int FieldNamed(const mDBase& table, const std::vector<CString>& longNames, std::string_view name)
{
    for (size_t i = 0; i < longNames.size(); ++i)
        if (SameIgnoringCase(longNames[i].View(), name))
            return static_cast<int>(i);
    for (int i = 0; i < table.GetFieldCount(); ++i)
        if (SameIgnoringCase(table.GetField(i).Name.View(), name))
            return i;
    return -1;
}

// The fields a key expression names: one field's name, or the names of
// character fields joined by +. False for any other expression, whose value
// no column holds.
bool FieldsOf(const mDBase& table, const std::vector<CString>& longNames, std::string_view expression,
              std::vector<int>& fields)
{
    fields.clear();
    for (;;) {
        const size_t plus = expression.find('+');
        const int found = FieldNamed(table, longNames, Trimmed(expression.substr(0, plus)));
        if (found < 0 || table.GetField(found).Memo != MemoUse::None)
            return false;
        fields.push_back(found);
        if (plus == std::string_view::npos)
            break;
        expression.remove_prefix(plus + 1);
    }
    if (fields.size() > 1)
        for (const int field : fields)
            if (!table.GetField(field).IsCharacter())
                return false;
    return true;
}

const char* KindName(KeyKind kind)
{
    switch (kind) {
    case KeyKind::Primary: return "la clave primaria";
    case KeyKind::Unique:  return ANSI_TEXT("la clave única");
    default:                               return ANSI_TEXT("el índice");
    }
}

} // namespace

size_t DatabaseKeys::AddTable(const CString& name)
{
    m_tables.push_back({ name, {}, false });
    return m_tables.size() - 1;
}

void DatabaseKeys::SetKeys(size_t t, const DatabaseContainer::Table& listed, const mDBase& table,
                           const StructuralIndex& index)
{
    Table& added = m_tables[t];
    std::string skipped;
    const auto skip = [&](const CString& tag, const char* why) {
        skipped += std::string(skipped.empty() ? "" : ", ") + tag.GetString() + " (" + why + ")";
    };
    // The container lists a table's tags and which are keys; the index
    // keeps their expressions, written with the fields' long names.
    static const std::vector<CString> kNoLongNames;
    const std::vector<CString>& longNames =
        listed.Fields.size() == static_cast<size_t>(table.GetFieldCount()) ? listed.Fields : kNoLongNames;
    for (const DatabaseContainer::Tag& tag : listed.Tags) {
        const StructuralIndex::Tag* found = nullptr;
        for (const StructuralIndex::Tag& indexed : index.GetTags())
            if (!found && SameIgnoringCase(indexed.Name.View(), tag.Name.View()))
                found = &indexed;
        if (!found) {
            skip(tag.Name, ANSI_TEXT("no está en el índice"));
            continue;
        }
        Key key;
        key.Tag = tag.Name;
        key.Type = SameIgnoringCase(tag.Name.View(), listed.PrimaryTag.View()) ? KeyKind::Primary
                   : tag.Candidate || found->Candidate                    ? KeyKind::Unique
                                                                          : KeyKind::Index;
        if (!found->Filter.IsEmpty())
            skip(tag.Name, ("FOR " + std::string(found->Filter.View())).c_str());
        else if (!FieldsOf(table, longNames, found->Expression.View(), key.Fields))
            skip(tag.Name, found->Expression.GetString());
        else
            added.Keys.push_back(std::move(key));
    }
    if (!skipped.empty())
        Message("Nota", t, ANSI_TEXT("sin clave ni índice para las etiquetas que no son una lista de campos "
                                     "o que tienen FOR: ") + skipped + ".");
}

void DatabaseKeys::AddRelations(const DatabaseContainer& container,
                                const std::vector<const DatabaseContainer::Table*>& tables)
{
    const auto tableOf = [&](const DatabaseContainer::Table* listed) {
        return static_cast<size_t>(std::find(tables.begin(), tables.end(), listed) - tables.begin());
    };
    const auto keyOf = [&](size_t t, const CString& tag) {
        const std::vector<Key>& keys = m_tables[t].Keys;
        size_t k = 0;
        while (k < keys.size() && !SameIgnoringCase(keys[k].Tag.View(), tag.View()))
            ++k;
        return k;
    };
    for (const DatabaseContainer::Relation& relation : container.GetRelations()) {
        const size_t child = tableOf(container.FindTable(relation.Child));
        const size_t parent = tableOf(container.FindTable(relation.Parent.View()));
        if (child >= m_tables.size())
            continue; // a table that is not written
        const std::string what = std::string(ANSI_TEXT("se omite la clave foránea ")) + relation.ChildTag.GetString() +
                                 " hacia " + relation.Parent.GetString() + ": ";
        if (parent >= m_tables.size()) {
            Message("Aviso", child, what + ANSI_TEXT("esa tabla no está en la base de datos."));
            continue;
        }
        const size_t childKey = keyOf(child, relation.ChildTag);
        const size_t parentKey = keyOf(parent, relation.ParentTag);
        if (childKey == m_tables[child].Keys.size() || parentKey == m_tables[parent].Keys.size()) {
            Message("Aviso", child, what + "una de sus etiquetas no da columnas.");
            continue;
        }
        const Key& parentSide = m_tables[parent].Keys[parentKey];
        if (parentSide.Type == KeyKind::Index) {
            Message("Aviso", child,
                    what + "la etiqueta " + parentSide.Tag.GetString() + " no es una clave primaria ni candidata.");
            continue;
        }
        if (parentSide.Fields.size() != m_tables[child].Keys[childKey].Fields.size()) {
            Message("Aviso", child, what + ANSI_TEXT("sus dos etiquetas no dan el mismo número de columnas."));
            continue;
        }
        m_foreignKeys.push_back({ child, parent, childKey, parentKey, true });
    }
}

void DatabaseKeys::DropTable(size_t t)
{
    m_tables[t].Dropped = true;
    for (Key& key : m_tables[t].Keys)
        key.Held = false;
}

std::vector<std::string> DatabaseKeys::TakeMessages()
{
    return std::move(m_messages);
}

void DatabaseKeys::Message(const char* level, size_t t, const std::string& text)
{
    m_messages.push_back(std::string(level) + ": tabla " + m_tables[t].Name.GetString() + ": " + text + "\n");
}

std::string DatabaseKeys::Describe(const Key& key)
{
    return std::string(KindName(key.Type)) + " " + key.Tag.GetString();
}
