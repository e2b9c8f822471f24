/* Writes the workbook fixtures that come from libxlsxwriter (the second,
 * independent writer).  Built and run by make_xlsxwriter_fixtures.sh. */
#include <stdio.h>
#include <string.h>
#include <xlsxwriter.h>

static const char* head1[14] = {"From", "To", "Gr.El.", "", "Length", "Inv.El.", "", "Dia", "Slope", "Lateral",
                                "X1", "Y1", "X2", "Y2"};

static void headings(lxw_worksheet* ws) {
    for (int c = 0; c < 14; ++c) {
        if (head1[c][0]) worksheet_write_string(ws, 0, c, head1[c], NULL);
    }
    worksheet_write_string(ws, 1, 2, "From", NULL);
    worksheet_write_string(ws, 1, 3, "To", NULL);
}

/* One pipe row: manhole names, then twelve numbers with the lateral name
 * in place of the tenth column. */
static void pipe(lxw_worksheet* ws, int row, const char* from, const char* to, const double v[7], const char* lat,
                 const double xy[4]) {
    if (from && *from) worksheet_write_string(ws, row, 0, from, NULL);
    if (to && *to) worksheet_write_string(ws, row, 1, to, NULL);
    for (int k = 0; k < 7; ++k) worksheet_write_number(ws, row, 2 + k, v[k], NULL);
    worksheet_write_string(ws, row, 9, lat, NULL);
    for (int k = 0; k < 4; ++k) worksheet_write_number(ws, row, 10 + k, xy[k], NULL);
}

static int finish(lxw_workbook* wb, const char* path) {
    lxw_error err = workbook_close(wb);
    if (err != LXW_NO_ERROR) {
        fprintf(stderr, "%s: %s\n", path, lxw_strerror(err));
        return 1;
    }
    return 0;
}

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : ".";
    char path[4096];
    int failed = 0;

    /* The chain and branch of the openpyxl fixture, ended by a row whose first
     * four cells are empty (a later cell of it is not), written in constant
     * memory mode, which stores every text as an inline string. */
    snprintf(path, sizeof path, "%s/network_xlsxwriter.xlsx", dir);
    lxw_workbook_options opts = {.constant_memory = LXW_TRUE, .tmpdir = NULL};
    lxw_workbook* wb = workbook_new_opt(path, &opts);
    lxw_worksheet* ws = workbook_add_worksheet(wb, "Network");
    headings(ws);
    {
        const double v1[7] = {102, 101.5, 50, 99, 98.8, 300, 0.004}, xy1[4] = {0, 0, 50, 0};
        const double v2[7] = {101.5, 101, 45.5, 98.7, 98.5, 250.5, 0.0044}, xy2[4] = {50, 0, 95.5, 0};
        const double v3[7] = {101, 100.2, 40, 98.4, 98.2, 400, 0.005}, xy3[4] = {95.5, 0, 135.5, 0};
        const double v4[7] = {103, 101.5, 30, 100, 99.9, 200, 0.003}, xy4[4] = {50, 30, 50, 0};
        pipe(ws, 2, "MH1", "MH2", v1, "A", xy1);
        pipe(ws, 3, "MH2", "MH3 ", v2, "A", xy2);
        pipe(ws, 4, "MH3", "MH4", v3, "A", xy3);
        pipe(ws, 5, " MH5", "MH2", v4, "B", xy4);
        worksheet_write_number(ws, 6, 8, 0.5, NULL); /* the end row: columns 1 to 4 empty */
        pipe(ws, 7, "MH9", "MH8", v1, "Z", xy1);     /* below the end: never read */
    }
    failed |= finish(wb, path);

    /* The connection errors: a duplicate From (pipes 1 and 2), From = To
     * (pipe 3), outfalls left blank and "0" (pipes 4 and 5), and four pipes
     * ending at one manhole (pipes 6 to 9); an empty row ends the list. */
    snprintf(path, sizeof path, "%s/network_errors_xlsxwriter.xlsx", dir);
    wb = workbook_new(path);
    ws = workbook_add_worksheet(wb, "Errors");
    headings(ws);
    {
        const double v[7] = {100, 99, 20, 98, 97.9, 200, 0.005}, xy[4] = {1, 2, 3, 4};
        const char* names[9][2] = {{"A", "B"},   {"A", "C"},   {"D", "D"},   {"E", ""}, {"F", "0"},
                                   {"G1", "J"}, {"G2", "J"}, {"G3", "J"}, {"G4", "J"}};
        for (int p = 0; p < 9; ++p) pipe(ws, 2 + p, names[p][0], names[p][1], v, "X", xy);
    }
    failed |= finish(wb, path);

    /* "END" at once: no pipe. */
    snprintf(path, sizeof path, "%s/network_end_xlsxwriter.xlsx", dir);
    wb = workbook_new(path);
    ws = workbook_add_worksheet(wb, NULL);
    headings(ws);
    worksheet_write_string(ws, 2, 0, "END", NULL);
    worksheet_write_string(ws, 3, 0, "MH1", NULL);
    failed |= finish(wb, path);

    /* Two pipes that do not meet, every cell of both rows holding a value of
     * its own, so that each column shows in the one field it goes to. */
    snprintf(path, sizeof path, "%s/columns_xlsxwriter.xlsx", dir);
    wb = workbook_new(path);
    ws = workbook_add_worksheet(wb, "Network");
    headings(ws);
    {
        const double v1[7] = {110.5, 109.75, 42.5, 107.25, 106.125, 450, 0.0125}, xy1[4] = {1001.5, 2002.5, 3003.5, 4004.5};
        const double v2[7] = {120.5, 119.75, 52.5, 117.25, 116.125, 525, 0.0175}, xy2[4] = {1101.5, 2102.5, 3103.5, 4104.5};
        pipe(ws, 2, "MH10", "MH20", v1, "Lat7", xy1);
        pipe(ws, 3, "MH30", "MH40", v2, "Lat8", xy2);
        worksheet_write_string(ws, 4, 0, "END", NULL);
    }
    failed |= finish(wb, path);

    /* The longest texts a cell holds, as shared strings: 32,767 characters
     * of three bytes of UTF-8 each, and 32,767 UTF-16 units of characters
     * beyond U+FFFF (two units each) and a letter. */
    snprintf(path, sizeof path, "%s/long_text_xlsxwriter.xlsx", dir);
    wb = workbook_new(path);
    ws = workbook_add_worksheet(wb, "Long");
    {
        static char water[32767 * 3 + 1], smiles[16383 * 4 + 2];
        for (int i = 0; i < 32767; ++i) memcpy(water + 3 * i, "\xE6\xB0\xB4", 3);
        for (int i = 0; i < 16383; ++i) memcpy(smiles + 4 * i, "\xF0\x9F\x98\x80", 4);
        strcpy(smiles + 4 * 16383, "a");
        worksheet_write_string(ws, 0, 0, water, NULL);
        worksheet_write_string(ws, 1, 0, smiles, NULL);
    }
    failed |= finish(wb, path);
    return failed;
}
