// Writes a Visual FoxPro database for check_database.py: a container whose
// tables have renamed 10-character fields, deleted Field records, a
// composite candidate key, tags on expressions and with FOR clauses, a
// relation to a candidate key and one to its own table, keys the data breaks,
// tables in other folders and letter cases, fields whose long names pass 10
// characters and the tags FoxPro writes with them, and a listed table that
// is missing. Prints nothing; the check knows what it holds.
//
//     make_database FOLDER

#include "tests/support/DatabaseBuilder.h"

#include <cstdio>
#include <filesystem>
#include <string>

using namespace std::string_literals;
using testing_support::ContainerBuilder;
using testing_support::Hex;
using testing_support::IndexBuilder;
using testing_support::MemoBuilder;
using testing_support::TableBuilder;

namespace {

std::string Int32(std::int32_t n)
{
    std::string bytes(4, '\0');
    TableBuilder::Put32(bytes, 0, static_cast<std::uint32_t>(n));
    return bytes;
}

// A member table: Visual FoxPro with a structural index, and a memo file
// when it has memos; its backlink names the container.
TableBuilder Member(const std::string& backlink, bool memo)
{
    TableBuilder table;
    table.Version(0x30).TableFlags(memo ? 0x03 : 0x01).LanguageDriver(0x03)
        .AfterTerminator(ContainerBuilder::Backlink(backlink));
    return table;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s folder\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    const std::string root = argv[1];
    const std::string db = root + "/db";
    fs::create_directories(db + "/data dir");
    fs::create_directories(root + "/tablas");

    ContainerBuilder dbc(1); // Visual FoxPro writes containers with a block size of 1 too

    // customer: the renamed fields of the issue, a composite candidate key,
    // an expression tag and a tag with FOR.
    const int customer = dbc.Table("customer", "customer.dbf", "cust_id");
    for (const char* name : { "cust_id", "company_name", "city", "contact_type", "contact_type_id", "notes" })
        dbc.Field(customer, name);
    dbc.Index(customer, "cust_id", true);
    dbc.Index(customer, "namecity", true);
    dbc.Index(customer, "uppername", false);
    dbc.Index(customer, "active", false);
    dbc.Index(customer, "city", false);
    MemoBuilder notes(MemoBuilder::FoxPro, 64);
    Member("tienda.dbc", true)
        .Field("CUST_ID", 'C', 6).Field("COMPANY_NA", 'C', 40).Field("CITY", 'C', 20)
        .Field("CONTACT_TY", 'C', 10).Field("CONTACT_T2", 'I', 4).Field("NOTES", 'M', 4)
        .Record({ "ALFKI", "Alfreds Futterkiste", "Berlin", "Owner", Int32(1),
                  MemoBuilder::BinaryPointer(notes.Add("Cliente desde 1992.\r\nPaga al contado.")) })
        .Record({ "ANATR", "Ana Trujillo Emparedados", "M\xE9xico D.F.", "Owner", Int32(1), Int32(0) })
        .Record({ "ANTON", "Antonio Moreno Taquer\xED" "a", "M\xE9xico D.F.", "Owner", Int32(2), Int32(0) })
        .Record({ "BOLID", "B\xF3lido Comidas preparadas", "Madrid", "Manager", Int32(3),
                  MemoBuilder::BinaryPointer(notes.Add("Entregas por la ma\xF1" "ana.")) })
        .WriteTo(db + "/customer.dbf");
    notes.WriteTo(db + "/customer.fpt");
    IndexBuilder()
        .Tag("CUST_ID", "cust_id", IndexBuilder::kCandidate)
        .Tag("NAMECITY", "COMPANY_NA + city", IndexBuilder::kCandidate)
        .Tag("UPPERNAME", "UPPER(company_na)")
        .Tag("ACTIVE", "cust_id", 0, "!DELETED()")
        .Tag("CITY", "city")
        .WriteTo(db + "/customer.cdx");

    // orders, in another folder and another letter case: its primary key,
    // a foreign key to customer's primary key and a composite one to its
    // candidate key.
    const int orders = dbc.Table("orders", "..\\TABLAS\\orders.dbf", "order_id");
    for (const char* name : { "order_id", "cust_id", "order_date", "ship_company", "ship_city", "total" })
        dbc.Field(orders, name);
    dbc.Index(orders, "order_id", true);
    dbc.Index(orders, "cust_id", false);
    dbc.Index(orders, "shipto", false);
    dbc.Relation(orders, "cust_id", "customer", "cust_id");
    dbc.Relation(orders, "shipto", "customer", "namecity");
    Member("..\\DB\\Tienda.DBC", false)
        .Field("ORDER_ID", 'I', 4).Field("CUST_ID", 'C', 6).Field("ORDER_DATE", 'D', 8)
        .Field("SHIP_NAME", 'C', 40).Field("SHIP_CITY", 'C', 20).Field("TOTAL", 'Y', 8)
        .Record({ Int32(10248), "ALFKI", "19960704", "Alfreds Futterkiste", "Berlin", Hex("10270000000000") + '\0' })
        .Record({ Int32(10249), "ANTON", "19960705", "Antonio Moreno Taquer\xED" "a", "M\xE9xico D.F.",
                  Hex("a08601000000") + "\0\0"s })
        .Record({ Int32(10250), "BOLID", "", "B\xF3lido Comidas preparadas", "Madrid", std::string(8, '\0') })
        .WriteTo(root + "/tablas/Orders.DBF");
    IndexBuilder()
        .Tag("ORDER_ID", "order_id", IndexBuilder::kCandidate)
        .Tag("CUST_ID", "cust_id")
        .Tag("SHIPTO", "ship_name+SHIP_CITY")
        .WriteTo(root + "/tablas/orders.CDX");

    // order_line_items: its fields re-appended by ALTER TABLE (the old
    // Field records deleted), a key on STR()+STR(), a relation to an order
    // that is missing, and one to products, whose primary key breaks.
    const int items = dbc.Table("order_line_items", "orditems.dbf", "itemkey");
    dbc.Field(items, "order", true);
    dbc.Field(items, "qty", true);
    for (const char* name : { "order_id", "line_no", "product_id", "quantity" })
        dbc.Field(items, name);
    dbc.Index(items, "itemkey", true);
    dbc.Index(items, "order_id", false);
    dbc.Index(items, "product_id", false);
    dbc.Relation(items, "order_id", "orders", "order_id");
    dbc.Relation(items, "product_id", "products", "product_id");
    Member("tienda.dbc", false)
        .Field("ORDER_ID", 'I', 4).Field("LINE_NO", 'N', 3).Field("PRODUCT_ID", 'C', 6).Field("QUANTITY", 'N', 8, 2)
        .Record({ Int32(10248), "  1", "P11", "   12.00" })
        .Record({ Int32(10248), "  2", "P42", "   10.00" })
        .Record({ Int32(10249), "  1", "P14", "    9.50" })
        .Record({ Int32(99999), "  1", "P11", "    1.00" }) // an order that is not there
        .Record({ Int32(10250), "  1", "P41", "   10.00" }, '*')
        .WriteTo(db + "/orditems.dbf");
    IndexBuilder()
        .Tag("ITEMKEY", "STR(order_id)+STR(line_no)", IndexBuilder::kCandidate)
        .Tag("ORDER_ID", "order_id")
        .Tag("PRODUCT_ID", "product_id")
        .WriteTo(db + "/orditems.cdx");

    // products: a primary key that one value repeats.
    const int products = dbc.Table("products", "products.dbf", "product_id");
    dbc.Field(products, "product_id");
    dbc.Field(products, "product_name");
    dbc.Index(products, "product_id", true);
    Member("tienda.dbc", false)
        .Field("PRODUCT_ID", 'C', 6).Field("PRODUCT_NA", 'C', 30)
        .Record({ "P11", "Queso Cabrales" })
        .Record({ "P14", "Tofu" })
        .Record({ "P42", "Singaporean Hokkien Fried Mee" })
        .Record({ "P11", "Queso Manchego La Pastora" })
        .WriteTo(db + "/products.dbf");
    IndexBuilder().Tag("PRODUCT_ID", "product_id", IndexBuilder::kCandidate).WriteTo(db + "/products.cdx");

    // employees, in a folder with a blank in its name: a relation to its
    // own table, whose child is NULL where there is no parent (a nullable
    // field, its bit in the hidden _NullFlags, which has no Field record).
    const int employees = dbc.Table("employees", "data dir\\Employee.dbf", "emp_id");
    for (const char* name : { "employee_id", "reports_to", "last_name" })
        dbc.Field(employees, name);
    dbc.Index(employees, "emp_id", true);
    dbc.Index(employees, "reports_to", false);
    dbc.Relation(employees, "reports_to", "employees", "emp_id");
    Member("..\\tienda.dbc", false)
        .Field("EMP_ID", 'C', 6).Field("REPORTS_TO", 'C', 6, 0, 0x02).Field("LAST_NAME", 'C', 20)
        .Field("_NullFlags", '0', 1, 0, 0x05)
        .Record({ "E2", "", "Fuller", "\x01" })
        .Record({ "E1", "E2", "Davolio", "\x00"s })
        .Record({ "E5", "E2", "Buchanan", "\x00"s })
        .WriteTo(db + "/data dir/employee.dbf");
    IndexBuilder()
        .Tag("EMP_ID", "emp_id", IndexBuilder::kCandidate)
        .Tag("REPORTS_TO", "reports_to")
        .WriteTo(db + "/data dir/EMPLOYEE.cdx");

    // expense_categories: fields whose long names pass 10 characters, cut to
    // 10 when stored (REGION_CO2 when the cut clashes); FoxPro writes their
    // tags with the long names, in lower case. region_co2 is both one field's
    // long name and another's stored name: the long name wins.
    const std::string ledgerCode = "category_code_used_by_the_accounting_department_in_its_yearly_reports_and_"
                                   "in_each_export_to_the_general_ledgers_of_all_companies"; // 128 characters
    const int categories = dbc.Table("expense_categories", "expcat.dbf", "expcatid");
    for (const std::string& name : { "expensecategoryid"s, ledgerCode, "description_in_spanish"s,
                                     "description_in_english"s, "region_code"s, "region_code_of_the_office"s,
                                     "region_co2"s })
        dbc.Field(categories, name);
    for (const char* tag : { "expcatid", "catcode", "descr" })
        dbc.Index(categories, tag, true);
    for (const char* tag : { "region", "office", "region_co2" })
        dbc.Index(categories, tag, false);
    Member("tienda.dbc", false)
        .Field("EXPENSECAT", 'C', 6).Field("CATEGORY_C", 'C', 8).Field("DESCRIPTIO", 'C', 20)
        .Field("DESCRIPTI2", 'C', 20).Field("REGION_COD", 'C', 2).Field("REGION_CO2", 'C', 3)
        .Field("REGION_CO3", 'C', 1)
        .Record({ "TRAVEL", "ACC-0100", "Viajes", "Travel", "EU", "MAD", "N" })
        .Record({ "MEALS", "ACC-0200", "Comidas", "Meals", "EU", "BCN", "N" })
        .Record({ "OFFICE", "ACC-0300", "Material de oficina", "Office supplies", "AM", "MEX", "S" })
        .WriteTo(db + "/expcat.dbf");
    IndexBuilder()
        .Tag("EXPCATID", "expensecategoryid", IndexBuilder::kCandidate)
        .Tag("CATCODE", ledgerCode, IndexBuilder::kCandidate)
        .Tag("DESCR", "description_in_spanish+description_in_english", IndexBuilder::kCandidate)
        .Tag("REGION", "region_code")
        .Tag("OFFICE", "Region_Code_Of_The_Office")
        .Tag("REGION_CO2", "region_co2")
        .WriteTo(db + "/expcat.cdx");

    // expenses: a relation to expense_categories through a long-named field.
    const int expenses = dbc.Table("expenses", "expenses.dbf", "expense_id");
    for (const char* name : { "expense_id", "expensecategoryid", "amount_in_euros" })
        dbc.Field(expenses, name);
    dbc.Index(expenses, "expense_id", true);
    dbc.Index(expenses, "expcat", false);
    dbc.Relation(expenses, "expcat", "expense_categories", "expcatid");
    Member("tienda.dbc", false)
        .Field("EXPENSE_ID", 'I', 4).Field("EXPENSECAT", 'C', 6).Field("AMOUNT_IN_", 'N', 10, 2)
        .Record({ Int32(1), "TRAVEL", "    120.50" })
        .Record({ Int32(2), "MEALS", "     35.00" })
        .Record({ Int32(3), "TRAVEL", "    980.00" })
        .WriteTo(db + "/expenses.dbf");
    IndexBuilder()
        .Tag("EXPENSE_ID", "expense_id", IndexBuilder::kCandidate)
        .Tag("EXPCAT", "expensecategoryid")
        .WriteTo(db + "/expenses.cdx");

    // A listed table whose file is not there.
    const int shippers = dbc.Table("shippers", "shippers.dbf");
    dbc.Field(shippers, "shipper_id");

    dbc.WriteTo(db + "/Tienda");
    return 0;
}
