#include "accore/StParser.h"

#include "accore/internal/Lexer.h"
#include "accore/internal/Pragma.h"

#include <unordered_set>

namespace ac {

namespace {

// Words that start or end a statement: where a broken statement's recovery stops.
bool isStatementKeyword(const Token& t)
{
    static const std::unordered_set<std::string> words = {
        "IF", "ELSIF", "ELSE", "END_IF", "CASE", "END_CASE", "FOR", "END_FOR", "WHILE", "END_WHILE", "REPEAT",
        "UNTIL", "END_REPEAT", "EXIT", "RETURN"};
    return t.kind == Token::Identifier && words.count(t.upper) != 0;
}

bool isReservedWord(const Token& t)
{
    static const std::unordered_set<std::string> words = {"AND", "OR", "XOR", "NOT", "MOD", "TRUE", "FALSE",
                                                          "THEN", "OF", "TO", "BY", "DO"};
    return t.kind == Token::Identifier && (words.count(t.upper) != 0 || isStatementKeyword(t));
}

bool isOperatorWord(const Token& t)
{
    return t.isWord("AND") || t.isWord("OR") || t.isWord("XOR") || t.isWord("MOD") || t.isWord("NOT");
}

class Parser
{
public:
    Parser(const std::string& text, ASTTree& tree, std::vector<ACMessage>& messages)
        : m_tree(tree), m_messages(messages)
    {
        Lexer lexer(text);
        m_tokens = lexer.tokenize();
        if (lexer.sawPragma()) {
            // Pragmas stand where comments may; only {warning ...} and {info ...} say something.
            for (const PlacedPragma& pragma : extractPragmas(m_tokens)) {
                ACMessage message;
                if (pragmaMessage(pragma.token, tree.pouName(), message))
                    addMessage(message);
            }
        }
    }

    ASTNode* parseAll()
    {
        ASTNode* root = statementList({});
        while (!atEnd() && !m_fatal) {
            // A terminator without its opening statement ("END_IF" alone): report and go on.
            unexpected("a statement");
            next();
            ASTNode* more = statementList({});
            for (ASTNode* child : more->children())
                root->addChild(child);
        }
        return root;
    }

private:
    using Words = std::unordered_set<std::string>;

    const Token& cur() const { return m_tokens[m_pos]; }
    const Token& peek(size_t ahead) const
    {
        return m_pos + ahead < m_tokens.size() ? m_tokens[m_pos + ahead] : m_tokens.back();
    }
    void next()
    {
        if (m_pos + 1 < m_tokens.size())
            ++m_pos;
    }
    bool atEnd() const { return cur().kind == Token::End; }

    void addMessage(const ACMessage& m)
    {
        if (m_fatal)
            return;
        m_messages.push_back(m);
        m_tree.addMessage(m);
    }

    void unexpected(const std::string& expected)
    {
        if (m_reported)
            return;
        m_reported = true;
        const Token& t = cur();
        if (t.kind == Token::Error && t.fatal) {
            addMessage(ACMessage::unterminated(m_tree.pouName(), t.at, t.problem));
            m_fatal = true;
            return;
        }
        if (t.kind == Token::Error && !t.problem.empty()) {
            addMessage(ACMessage::invalidLiteral(m_tree.pouName(), t.at, t.text, t.problem));
            return;
        }
        addMessage(ACMessage::unexpectedToken(m_tree.pouName(), t.at, t.kind == Token::End ? "" : t.text, expected));
    }

    bool expectWord(const char* word)
    {
        if (cur().isWord(word)) {
            next();
            return true;
        }
        unexpected(word);
        return false;
    }

    // Skips to the end of a broken statement: past the next ";" or up to a statement keyword.
    void recover()
    {
        while (!atEnd()) {
            if (cur().kind == Token::Error && cur().fatal) {
                unexpected("");
                return;
            }
            if (cur().is(";")) {
                next();
                return;
            }
            if (isStatementKeyword(cur()))
                return;
            next();
        }
    }

    bool enter()
    {
        if (++m_depth > StParser::maxDepth) {
            if (!m_tooDeep) {
                m_tooDeep = true;
                addMessage(ACMessage::tooDeep(m_tree.pouName(), cur().at));
            }
            m_fatal = true;
            return false;
        }
        return true;
    }

    struct DepthGuard
    {
        Parser& p;
        bool ok;
        explicit DepthGuard(Parser& parser) : p(parser), ok(parser.enter()) {}
        ~DepthGuard() { --p.m_depth; }
    };

    ASTNode* node(ASTNode::Kind kind, const std::string& text, SourceLocation at)
    {
        return m_tree.create(kind, text, at);
    }

    ASTNode* statementList(const Words& terminators)
    {
        ASTNode* list = node(ASTNode::StatementList, "", cur().at);
        DepthGuard guard(*this);
        if (!guard.ok)
            return list;
        while (!atEnd() && !m_fatal) {
            const Token& t = cur();
            if (t.kind == Token::Identifier && terminators.count(t.upper))
                break;
            if (t.kind == Token::Identifier && !terminators.empty() && isTerminatorOfOther(t))
                break;
            if (terminators.empty() && isTerminatorOfOther(t))
                break;
            if (m_inCase && caseLabelAhead())
                break;
            const size_t before = m_pos;
            m_reported = false;
            if (ASTNode* s = statement())
                list->addChild(s);
            if (m_pos == before) {
                unexpected("a statement");
                next();
            }
        }
        return list;
    }

    static bool isTerminatorOfOther(const Token& t)
    {
        static const Words ends = {"END_IF", "ELSIF", "ELSE", "END_CASE", "END_FOR", "END_WHILE", "UNTIL",
                                   "END_REPEAT", "THEN", "DO", "OF", "TO", "BY"};
        return t.kind == Token::Identifier && ends.count(t.upper) != 0;
    }

    // In a CASE body: does a label list ("1, 2..5, Idle:") start here?
    bool caseLabelAhead() const
    {
        for (size_t i = 0; i < 64; ++i) {
            const Token& t = peek(i);
            if (t.is(":"))
                return i > 0;
            const bool part = t.kind == Token::Integer || t.kind == Token::TypedLiteral
                || (t.kind == Token::Identifier && !isReservedWord(t)) || t.is(",") || t.is("..") || t.is("-")
                || t.is("+") || t.is(".");
            if (!part)
                return false;
        }
        return false;
    }

    void endStatement()
    {
        if (cur().is(";")) {
            next();
            return;
        }
        unexpected("';'");
        // A forgotten ";" at the end of a line: the next statement starts right here.
        if (m_pos > 0 && cur().at.line > m_tokens[m_pos - 1].at.line)
            return;
        recover();
    }

    // After an error in the head of IF, CASE, FOR or WHILE: skip to the word that ends the
    // head so that the body is still read. False when a ";" or the end came first.
    bool skipTo(const char* word)
    {
        while (!atEnd() && !cur().is(";") && !(cur().kind == Token::Error && cur().fatal)) {
            if (cur().isWord(word)) {
                next();
                return true;
            }
            if (isStatementKeyword(cur()))
                return false;
            next();
        }
        return false;
    }

    void optionalSemicolon()
    {
        if (cur().is(";"))
            next();
    }

    ASTNode* statement()
    {
        const Token& t = cur();
        const SourceLocation at = t.at;
        if (t.is(";")) {
            next();
            return node(ASTNode::Empty, "", at);
        }
        if (t.isWord("IF"))
            return ifStatement();
        if (t.isWord("CASE"))
            return caseStatement();
        if (t.isWord("FOR"))
            return forStatement();
        if (t.isWord("WHILE"))
            return whileStatement();
        if (t.isWord("REPEAT"))
            return repeatStatement();
        if (t.isWord("EXIT") || t.isWord("RETURN")) {
            ASTNode* n = node(t.isWord("EXIT") ? ASTNode::Exit : ASTNode::Return, "", at);
            next();
            endStatement();
            return n;
        }
        ASTNode* target = expression();
        if (!target) {
            recover();
            return nullptr;
        }
        if (cur().is(":=")) {
            ASTNode* assign = node(ASTNode::Assign, "", cur().at);
            next();
            ASTNode* value = expression();
            if (!value) {
                recover();
                return nullptr;
            }
            assign->addChild(target);
            assign->addChild(value);
            endStatement();
            return assign;
        }
        if (target->kind() == ASTNode::Call) {
            endStatement();
            return target;
        }
        unexpected("':=' or a call");
        recover();
        return nullptr;
    }

    ASTNode* ifStatement()
    {
        ASTNode* n = node(ASTNode::If, "", cur().at);
        next();
        ASTNode* condition = expression();
        if (!condition || !expectWord("THEN")) {
            if (!skipTo("THEN")) {
                recover();
                return nullptr;
            }
            condition = node(ASTNode::Error, "", n->location());
        }
        n->addChild(condition);
        n->addChild(statementList({"ELSIF", "ELSE", "END_IF"}));
        while (cur().isWord("ELSIF")) {
            ASTNode* branch = node(ASTNode::ElsIf, "", cur().at);
            next();
            ASTNode* c = expression();
            if (!c || !expectWord("THEN")) {
                recover();
                return n;
            }
            branch->addChild(c);
            branch->addChild(statementList({"ELSIF", "ELSE", "END_IF"}));
            n->addChild(branch);
        }
        if (cur().isWord("ELSE")) {
            next();
            n->addChild(statementList({"END_IF"}));
        }
        if (expectWord("END_IF"))
            optionalSemicolon();
        return n;
    }

    ASTNode* caseStatement()
    {
        ASTNode* n = node(ASTNode::Case, "", cur().at);
        next();
        ASTNode* selector = expression();
        if (!selector || !expectWord("OF")) {
            if (!skipTo("OF")) {
                recover();
                return nullptr;
            }
            selector = node(ASTNode::Error, "", n->location());
        }
        n->addChild(selector);
        const bool outer = m_inCase;
        m_inCase = true;
        while (!atEnd() && !m_fatal && !cur().isWord("ELSE") && !cur().isWord("END_CASE")) {
            m_reported = false;
            const size_t before = m_pos;
            struct Progress
            {
                Parser& p;
                size_t before;
                ~Progress()
                {
                    if (p.m_pos == before)
                        p.next(); // whatever happened, never stay on the same token
                }
            } progress{*this, before};
            ASTNode* branch = node(ASTNode::CaseBranch, "", cur().at);
            if (!caseLabels(branch)) {
                recover();
                if (!caseLabelAhead() && !cur().isWord("ELSE") && !cur().isWord("END_CASE")) {
                    // Skip statements up to the next label so that they are not taken as labels.
                    statementList({"ELSE", "END_CASE"});
                }
                continue;
            }
            branch->addChild(statementList({"ELSE", "END_CASE"}));
            n->addChild(branch);
        }
        m_inCase = outer;
        if (cur().isWord("ELSE")) {
            next();
            const bool saved = m_inCase;
            m_inCase = false;
            n->addChild(statementList({"END_CASE"}));
            m_inCase = saved;
        }
        if (expectWord("END_CASE"))
            optionalSemicolon();
        return n;
    }

    bool caseLabels(ASTNode* branch)
    {
        for (;;) {
            ASTNode* label = node(ASTNode::CaseLabel, "", cur().at);
            ASTNode* low = caseValue();
            if (!low)
                return false;
            if (cur().is("..")) {
                ASTNode* range = node(ASTNode::Range, "", cur().at);
                next();
                ASTNode* high = caseValue();
                if (!high)
                    return false;
                range->addChild(low);
                range->addChild(high);
                label->addChild(range);
            } else {
                label->addChild(low);
            }
            branch->addChild(label);
            if (cur().is(",")) {
                next();
                continue;
            }
            if (cur().is(":")) {
                next();
                return true;
            }
            unexpected("',', '..' or ':'");
            return false;
        }
    }

    ASTNode* caseValue()
    {
        const Token& t = cur();
        if (t.is("-") && (peek(1).kind == Token::Integer)) {
            const SourceLocation at = t.at;
            next();
            ASTNode* n = node(ASTNode::Literal, "-" + cur().text, at);
            next();
            return n;
        }
        if (t.kind == Token::Integer || t.kind == Token::TypedLiteral) {
            ASTNode* n = node(ASTNode::Literal, t.text, t.at);
            next();
            return n;
        }
        if (t.kind == Token::Identifier && !isReservedWord(t)) {
            ASTNode* n = node(ASTNode::Identifier, t.text, t.at);
            next();
            while (cur().is(".") && peek(1).kind == Token::Identifier) {
                ASTNode* member = node(ASTNode::Member, "", cur().at);
                next();
                member->addChild(n);
                member->addChild(node(ASTNode::Identifier, cur().text, cur().at));
                next();
                n = member;
            }
            return n;
        }
        unexpected("a case label");
        return nullptr;
    }

    ASTNode* forStatement()
    {
        ASTNode* n = node(ASTNode::For, "", cur().at);
        next();
        if (!forHeader(n) && !skipTo("DO")) {
            recover();
            return nullptr;
        }
        n->addChild(statementList({"END_FOR"}));
        if (expectWord("END_FOR"))
            optionalSemicolon();
        return n;
    }

    // "i := a TO b [BY c] DO"; false after a reported error.
    bool forHeader(ASTNode* n)
    {
        if (cur().kind != Token::Identifier || isReservedWord(cur())) {
            unexpected("the loop variable");
            return false;
        }
        n->addChild(node(ASTNode::Identifier, cur().text, cur().at));
        next();
        if (!cur().is(":=")) {
            unexpected("':='");
            return false;
        }
        next();
        ASTNode* from = expression();
        if (!from || !expectWord("TO"))
            return false;
        ASTNode* to = expression();
        if (!to)
            return false;
        n->addChild(from);
        n->addChild(to);
        if (cur().isWord("BY")) {
            next();
            ASTNode* by = expression();
            if (!by)
                return false;
            n->setOp("BY");
            n->addChild(by);
        }
        return expectWord("DO");
    }

    ASTNode* whileStatement()
    {
        ASTNode* n = node(ASTNode::While, "", cur().at);
        next();
        ASTNode* condition = expression();
        if (!condition || !expectWord("DO")) {
            if (!skipTo("DO")) {
                recover();
                return nullptr;
            }
            condition = node(ASTNode::Error, "", n->location());
        }
        n->addChild(condition);
        n->addChild(statementList({"END_WHILE"}));
        if (expectWord("END_WHILE"))
            optionalSemicolon();
        return n;
    }

    ASTNode* repeatStatement()
    {
        ASTNode* n = node(ASTNode::Repeat, "", cur().at);
        next();
        n->addChild(statementList({"UNTIL"}));
        if (!expectWord("UNTIL")) {
            recover();
            return n;
        }
        ASTNode* condition = expression();
        if (!condition) {
            recover();
            return n;
        }
        n->addChild(condition);
        if (expectWord("END_REPEAT"))
            optionalSemicolon();
        return n;
    }

    // Expressions, lowest precedence first: OR, XOR, AND/&, = <>, < > <= >=, + -, * / MOD,
    // unary - and NOT, **, postfix (call, member, index, ^), primary.
    ASTNode* expression() { return binaryLevel(0); }

    ASTNode* binaryLevel(int level)
    {
        static const std::vector<std::vector<const char*>> levels = {
            {"OR"}, {"XOR"}, {"AND", "&"}, {"=", "<>"}, {"<", ">", "<=", ">="}, {"+", "-"}, {"*", "/", "MOD"}};
        if (level >= static_cast<int>(levels.size()))
            return unary();
        DepthGuard guard(*this);
        if (!guard.ok)
            return nullptr;
        ASTNode* left = binaryLevel(level + 1);
        if (!left)
            return nullptr;
        for (;;) {
            const Token& t = cur();
            std::string op;
            for (const char* candidate : levels[static_cast<size_t>(level)]) {
                if ((t.kind == Token::Punct && t.text == candidate) || (t.kind == Token::Identifier && t.upper == candidate))
                    op = candidate;
            }
            if (op.empty())
                return left;
            ASTNode* n = node(ASTNode::Binary, "", t.at);
            n->setOp(op == "&" ? "AND" : op);
            next();
            ASTNode* right = binaryLevel(level + 1);
            if (!right)
                return nullptr;
            n->addChild(left);
            n->addChild(right);
            left = n;
        }
    }

    ASTNode* unary()
    {
        DepthGuard guard(*this);
        if (!guard.ok)
            return nullptr;
        const Token& t = cur();
        if (t.is("-") || t.is("+") || t.isWord("NOT")) {
            ASTNode* n = node(ASTNode::Unary, "", t.at);
            n->setOp(t.isWord("NOT") ? "NOT" : t.text);
            next();
            ASTNode* operand = unary();
            if (!operand)
                return nullptr;
            n->addChild(operand);
            return n;
        }
        return power();
    }

    ASTNode* power()
    {
        ASTNode* left = postfix();
        while (left && cur().is("**")) {
            ASTNode* n = node(ASTNode::Binary, "", cur().at);
            n->setOp("**");
            next();
            ASTNode* right = postfix();
            if (!right)
                return nullptr;
            n->addChild(left);
            n->addChild(right);
            left = n;
        }
        return left;
    }

    ASTNode* postfix()
    {
        DepthGuard guard(*this);
        if (!guard.ok)
            return nullptr;
        ASTNode* n = primary();
        while (n) {
            if (cur().is(".")) {
                const SourceLocation at = cur().at;
                next();
                if (cur().kind != Token::Identifier && cur().kind != Token::Integer) {
                    unexpected("a member name");
                    return nullptr;
                }
                ASTNode* member = node(ASTNode::Member, "", at);
                member->addChild(n);
                member->addChild(node(cur().kind == Token::Integer ? ASTNode::Literal : ASTNode::Identifier,
                                      cur().text, cur().at));
                next();
                n = member;
            } else if (cur().is("[")) {
                ASTNode* index = node(ASTNode::Index, "", cur().at);
                next();
                index->addChild(n);
                for (;;) {
                    ASTNode* i = expression();
                    if (!i)
                        return nullptr;
                    index->addChild(i);
                    if (cur().is(",")) {
                        next();
                        continue;
                    }
                    if (cur().is("]")) {
                        next();
                        break;
                    }
                    unexpected("',' or ']'");
                    return nullptr;
                }
                n = index;
            } else if (cur().is("^")) {
                ASTNode* deref = node(ASTNode::Deref, "", cur().at);
                next();
                deref->addChild(n);
                n = deref;
            } else if (cur().is("(")) {
                n = call(n);
            } else {
                break;
            }
        }
        return n;
    }

    ASTNode* call(ASTNode* callee)
    {
        ASTNode* n = node(ASTNode::Call, "", cur().at);
        n->addChild(callee);
        next(); // '('
        if (cur().is(")")) {
            next();
            return n;
        }
        for (;;) {
            ASTNode* argument = node(ASTNode::Argument, "", cur().at);
            if (cur().kind == Token::Identifier && (peek(1).is(":=") || peek(1).is("=>")) && !isReservedWord(cur())) {
                argument = node(ASTNode::Argument, cur().text, cur().at);
                argument->setOp(peek(1).text);
                next();
                next();
            }
            ASTNode* value = expression();
            if (!value)
                return nullptr;
            argument->addChild(value);
            n->addChild(argument);
            if (cur().is(",")) {
                next();
                continue;
            }
            if (cur().is(")")) {
                next();
                return n;
            }
            unexpected("',' or ')'");
            return nullptr;
        }
    }

    ASTNode* primary()
    {
        const Token& t = cur();
        switch (t.kind) {
        case Token::Integer:
        case Token::Real:
        case Token::TypedLiteral:
        case Token::String:
        case Token::WString:
        case Token::Address: {
            ASTNode* n = node(ASTNode::Literal, t.text, t.at);
            next();
            return n;
        }
        case Token::Identifier:
            if (t.upper == "TRUE" || t.upper == "FALSE") {
                ASTNode* n = node(ASTNode::Literal, t.upper, t.at);
                next();
                return n;
            }
            // "MOD(a, 128)", "AND(a, b, c)": an operator called as the function it is.
            if (!isReservedWord(t) || (isOperatorWord(t) && peek(1).is("("))) {
                ASTNode* n = node(ASTNode::Identifier, t.text, t.at);
                next();
                return n;
            }
            break;
        case Token::Punct:
            if (t.is("(")) {
                next();
                ASTNode* inner = expression();
                if (!inner)
                    return nullptr;
                if (!cur().is(")")) {
                    unexpected("')'");
                    return nullptr;
                }
                next();
                return inner;
            }
            break;
        default:
            break;
        }
        unexpected("an expression");
        return nullptr;
    }

    ASTTree& m_tree;
    std::vector<ACMessage>& m_messages;
    std::vector<Token> m_tokens;
    size_t m_pos = 0;
    int m_depth = 0;
    bool m_reported = false;
    bool m_fatal = false;
    bool m_tooDeep = false;
    bool m_inCase = false;
};

} // namespace

std::unique_ptr<ASTTree> StParser::parse(const std::string& text, const std::string& pouName, int,
                                         std::vector<ACMessage>& messages)
{
    auto tree = std::make_unique<ASTTree>(pouName);
    Parser parser(text, *tree, messages);
    tree->setRoot(parser.parseAll());
    return tree;
}

} // namespace ac
